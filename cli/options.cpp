#include "cli/options.h"

#include "cli/scan_network.h"
#include "firmware/update_check.h"
#include "scan/record/record_format.h"

#include <charconv>
#include <fstream>

namespace {

bool ParseInt(const std::string& text, int low, int high, int& value)
{
    int parsed = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (text.empty() || ec != std::errc() || ptr != end || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

ParseResult Fail(std::string reason)
{
    return ParseResult{std::nullopt, std::move(reason)};
}

} // namespace

std::optional<std::string> ReadFirstLine(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string line;
    std::getline(in, line);
    if (in.bad())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::vector<scan::SearchNetwork> ScanOptions::SearchNetworks() const
{
    std::vector<scan::SearchNetwork> out;
    for (const ScanNetwork& network : networks) {
        const auto part = SearchNetworksOf(network, firstHost, lastHost);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

ParseResult ParseScanOptions(const std::vector<std::string>& args, const char* envPassword,
                             PasswordFileReader readPasswordFile)
{
    ScanOptions options;
    if (envPassword != nullptr)
        options.password = envPassword;
    std::vector<std::string> nets;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // After "--" every argument is a network, also one that starts with '-'.
        if (optionsEnded || arg == "--") {
            if (!optionsEnded) {
                optionsEnded = true;
                continue;
            }
            nets.push_back(arg);
            continue;
        }
        // Options with a value take it from the next argument or after '='.
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
            }
        }
        auto value = [&](std::string& out) -> bool {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string text;
        auto flag = [&]() { return !inlineValue.has_value(); };

        if (name == "--help" || name == "-h") {
            options.showHelp = true;
        } else if (name == "--version") {
            options.showVersion = true;
        } else if (name == "--first" || name == "--last") {
            if (!value(text))
                return Fail(name + " needs a host number");
            int host = 0;
            const bool first = name == "--first";
            if (!ParseInt(text, first ? 0 : 1, 254, host))
                return Fail(name + " must be a number from " + (first ? "0" : "1") + " to 254");
            (first ? options.firstHost : options.lastHost) = host;
        } else if (name == "--no-range" && flag()) {
            options.scanRange = false;
        } else if (name == "--no-default-address" && flag()) {
            options.scanDefaultAddress = false;
        } else if (name == "--user") {
            if (!value(options.user))
                return Fail("--user needs a name");
        } else if (name == "--password-file") {
            if (!value(text))
                return Fail("--password-file needs a file");
            const auto password = readPasswordFile(text);
            if (!password)
                return Fail("cannot read the password file " + text);
            options.password = *password;
        } else if (name == "--http" && flag()) {
            options.useHttps = false;
        } else if (name == "--update-server") {
            if (!value(options.updateServer) || options.updateServer.empty())
                return Fail("--update-server needs HOST[:PORT]");
        } else if (name == "--jobs") {
            if (!value(text) || !ParseInt(text, 1, 255, options.jobs))
                return Fail("--jobs must be a number from 1 to 255");
        } else if (name == "--format") {
            if (!value(text))
                return Fail("--format needs table, csv or json");
            if (text == "table")
                options.format = ScanOptions::Format::Table;
            else if (text == "csv")
                options.format = ScanOptions::Format::Csv;
            else if (text == "json")
                options.format = ScanOptions::Format::Json;
            else
                return Fail("unknown format " + text + " (table, csv or json)");
        } else if (name == "--lang") {
            if (!value(text))
                return Fail("--lang needs en or de");
            if (text == "en")
                options.language = ScanOptions::Language::English;
            else if (text == "de")
                options.language = ScanOptions::Language::German;
            else
                return Fail("unknown language " + text + " (en or de)");
        } else if (name == "--flash-tool") {
            options.flashTool = true;
            // The folder is optional: taken inline, or from the next word unless that is an option.
            if (inlineValue)
                options.flashToolDir = *inlineValue;
            else if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-')
                options.flashToolDir = args[++i];
        } else if (name == "--compare") {
            if (!value(options.compareFile) || options.compareFile.empty())
                return Fail("--compare needs the FILE of an earlier --format json result");
        } else if (name == "--no-progress" && flag()) {
            options.progress = false;
        } else if (name == "--no-discovery" && flag()) {
            options.discovery = false;
        } else if (name == "--explain" && flag()) {
            options.explain = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("unknown option " + arg);
        } else {
            nets.push_back(arg);
        }
    }

    if (options.showHelp || options.showVersion)
        return ParseResult{options, {}};
    if (options.flashTool) {
        if (!nets.empty())
            return Fail("--flash-tool reports a tool folder and takes no subnet");
        if (!options.compareFile.empty())
            return Fail("--flash-tool reports a tool folder and takes no --compare");
        return ParseResult{options, {}};
    }
    if (!options.compareFile.empty() && options.format == ScanOptions::Format::Csv)
        return Fail("--compare prints a table or JSON, not CSV");
    if (!options.scanRange && !options.scanDefaultAddress)
        return Fail("nothing to search: --no-range and --no-default-address leave no address");
    if (options.scanRange) {
        if (nets.empty())
            return Fail("a subnet is needed, e.g. 192.168.1.* or 10.20.0.0/22");
        for (const std::string& text : nets) {
            std::string reason;
            const auto network = ParseScanNetwork(text, &reason);
            if (!network)
                return Fail(reason);
            options.networks.push_back(*network);
        }
        if (options.firstHost > options.lastHost)
            return Fail("--first must not be greater than --last");
        // A network without any host to search is a mistake, not something to pass over quietly.
        for (std::size_t i = 0; i < nets.size(); ++i) {
            if (SearchNetworksOf(options.networks[i], options.firstHost, options.lastHost).empty())
                return Fail("nothing to search in " + TerminalText(nets[i]) + " with hosts " +
                            std::to_string(options.firstHost) + " to " + std::to_string(options.lastHost) +
                            " (--first, --last)");
        }
    } else if (!nets.empty()) {
        return Fail("--no-range searches only 10.10.10.10 and takes no subnet");
    }
    return ParseResult{options, {}};
}

std::string UsageText()
{
    const std::string server = kDefaultUpdateServer;
    return "Usage: trawlix-scan [OPTIONS] [--] NET [NET...]   e.g. 192.168.1.*  10.20.0.0/22\n"
           "Searches every NET and 10.10.10.10 for adapters in one search, each address once. NET is\n"
           "a.b.c.* or a.b.c.N (the network a.b.c) or a.b.c.d/P with P 16 to 32 and no host bits set\n"
           "beyond P (a /22 is four /24 networks, a /32 one host).\n"
           "  --first N, --last N          host range within each /24, default 1 and 254\n"
           "  --no-range                   search only 10.10.10.10\n"
           "  --no-default-address         do not search 10.10.10.10\n"
           "  --user NAME                  LX400 user, default admin\n"
           "  --password-file FILE         LX400 password from the first line of FILE\n"
           "                               (TRAWLIX_PASSWORD in the environment works as well)\n"
           "  --http                       LX400 over HTTP on port 80 instead of HTTPS on 443\n"
           "  --update-server HOST[:PORT]  the vendor's web server, default " +
           server +
           "\n"
           "  --jobs N                     probe jobs at once, 1 to 255, default 10\n"
           "  --format table|csv|json      default table\n"
           "  --lang en|de                 language of texts such as the Update column\n"
           "  --no-progress                no progress bar on standard error\n"
           "  --no-discovery               probe every address directly instead of knocking on its ports\n"
           "                               first (for networks that drop the knocks but answer the probes)\n"
           "  --explain                    after the list, on standard error: why each searched address that\n"
           "                               answered is not listed, and how many did not answer at all (with\n"
           "                               --format json: an array of {ip, reason, detail})\n"
           "  --compare FILE               after the search, what changed since FILE (an earlier --format\n"
           "                               json result): adapters new, gone, and changed (matched by MAC\n"
           "                               address, else by IP address)\n"
           "  --flash-tool [DIR]           instead of searching: the flashing tool found in DIR, its OEM number\n"
           "                               and its firmware per adapter type; by default in the folder of\n"
           "                               trawlix.ini (~/.config/trawlix/ when installed, else beside the program)\n"
           "  --version, --help\n"
           "  --                           ends the options\n"
           "Exit status: 0 after a completed search, 3 when --compare found a change, 2 for wrong usage,\n"
           "1 for other failures, 130 (Ctrl-C) or 143 (SIGTERM) when interrupted (what was found so far\n"
           "is printed).\n";
}
