#include "cli/options.h"

#include "firmware/update_check.h"
#include "scan/record/display_text.h"
#include "scan/record/record_format.h"
#include "scan/scan_plan.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <string_view>

namespace {

// The most probe jobs a search runs at once: one slot of the controller's is the factory address's.
constexpr int kMostJobs = CScanThread::kSlotCount - 1;

// What an option takes after it.
enum class Takes {
    Nothing,       // no value; "--name=..." counts as the option itself
    Flag,          // no value; "--name=..." is an unknown option
    Value,         // the next argument, or what follows "="
    Text,          // as Value, but an empty value counts as missing
    OptionalValue, // what follows "=", or the next argument unless that is an option
    EndOfOptions   // every later argument is a network
};

// The most hours the vendor's answers are kept: older ones would hide new firmware for too long.
constexpr int kMostCacheHours = 720;

struct ParseContext
{
    PasswordFileReader readPasswordFile;
    TextFileReader readTextFile;
};

// Applies an option with its value (empty when it takes none); a non-empty result is the usage
// error.
using Apply = std::string (*)(ScanOptions& options, const std::string& value, const ParseContext& context);

// One option: how it is written, what it takes, its line in --help, and what it does. The table
// below is both the parser's and the usage text's, in the order --help lists them.
struct Option
{
    std::string name;
    std::string alias;
    Takes takes = Takes::Flag;
    // The usage error when the value is missing.
    std::string missing;
    // The left column of its line in --help; empty when another option's line names it too.
    std::string usage;
    // The right column; '\n' starts a continuation line.
    std::string help;
    Apply apply = nullptr;
};

// The Apply of an option that only switches `Member` to `Value`.
template <bool ScanOptions::*Member, bool Value>
std::string Switch(ScanOptions& options, const std::string&, const ParseContext&)
{
    options.*Member = Value;
    return {};
}

// The Apply of an option whose value `Member` takes as it is.
template <std::string ScanOptions::*Member>
std::string Set(ScanOptions& options, const std::string& value, const ParseContext&)
{
    options.*Member = value;
    return {};
}

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

std::string HostNumber(const char* name, int low, const std::string& text, int& host)
{
    if (!ParseInt(text, low, 254, host))
        return std::string(name) + " must be a number from " + std::to_string(low) + " to 254";
    return {};
}

// "table, csv or json", or with `separator` between every two names ("table|csv|json").
std::string FormatNames(const char* separator = nullptr)
{
    std::string out;
    for (std::size_t i = 0; i < kRecordFormats.size(); ++i) {
        if (i > 0)
            out += separator != nullptr ? separator : i + 1 == kRecordFormats.size() ? " or " : ", ";
        out += kRecordFormats[i].name;
    }
    return out;
}

// A file name or text as one line of a message.
std::string Shown(const std::string& text)
{
    return TerminalText(PlainTextAsUtf8(text));
}

// The networks of a networks file into `options`: one network a line in the command line's
// forms, '#' and what follows it a comment, blank lines skipped. A line that is no network is
// named by the file and its number.
std::string ReadNetworksFile(ScanOptions& options, const std::string& path, const ParseContext& context)
{
    std::string reason;
    const auto text = context.readTextFile(path, &reason);
    if (!text)
        return "cannot read the networks file " + Shown(path) + ": " + reason;
    std::string_view rest = *text;
    for (int number = 1; !rest.empty(); ++number) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        line = line.substr(0, line.find('#'));
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos)
            continue;
        line = line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
        const std::string where = Shown(path) + ":" + std::to_string(number) + ": ";
        if (line.find_first_of(" \t") != std::string_view::npos)
            return where + "one network a line, not \"" + Shown(std::string(line)) + "\"";
        const auto network = scan::ParseNetwork(line, &reason);
        if (!network)
            return where + reason;
        options.networks.push_back(*network);
    }
    options.networksFiles.push_back(path);
    return {};
}

const std::vector<Option>& Options()
{
    static const std::vector<Option> options = [] {
        const ScanOptions defaults;
        return std::vector<Option>{
            {"--first", "", Takes::Value, "--first needs a host number", "--first N, --last N",
             "host range within each /24, default " + std::to_string(defaults.firstHost) + " and " +
                 std::to_string(defaults.lastHost),
             [](ScanOptions& o, const std::string& v, const ParseContext&) {
                 return HostNumber("--first", 0, v, o.firstHost);
             }},
            {"--last", "", Takes::Value, "--last needs a host number", "", "",
             [](ScanOptions& o, const std::string& v, const ParseContext&) {
                 return HostNumber("--last", 1, v, o.lastHost);
             }},
            {"--no-range", "", Takes::Flag, "", "--no-range", "search only 10.10.10.10",
             Switch<&ScanOptions::scanRange, false>},
            {"--no-default-address", "", Takes::Flag, "", "--no-default-address", "do not search 10.10.10.10",
             Switch<&ScanOptions::scanDefaultAddress, false>},
            {"--networks-file", "", Takes::Value, "--networks-file needs a FILE", "--networks-file FILE",
             "search the networks of FILE as well: one NET a line, '#' starts a\ncomment (also without any NET "
             "argument); may be given more than once",
             [](ScanOptions& o, const std::string& v, const ParseContext& context) {
                 return ReadNetworksFile(o, v, context);
             }},
            {"--exclude", "", Takes::Value, "--exclude needs a NET", "--exclude NET",
             "never contact an address of NET, 10.10.10.10 included: a.b.c.* or\na.b.c.d/P (one address: "
             "a.b.c.d/32); may be given more than once",
             [](ScanOptions& o, const std::string& v, const ParseContext&) {
                 std::string reason;
                 const auto network = scan::ParseNetwork(v, &reason);
                 if (!network)
                     return "--exclude: " + reason;
                 // "a.b.c.N" names the whole /24, which is rarely what one address to leave out
                 // means: said, rather than 253 more addresses left out quietly.
                 if (v.find('/') == std::string::npos && v.find('*') == std::string::npos)
                     return "--exclude " + Shown(v) + " would leave out all of " + network->first.Text() +
                            "/24: write " + Shown(v) + "/32 for the one address, or " +
                            network->first.Text().substr(0, network->first.Text().rfind('.')) + ".* for the network";
                 o.excluded.push_back(*network);
                 return std::string();
             }},
            {"--user", "", Takes::Value, "--user needs a name", "--user NAME",
             "LX400 user, default " + defaults.login.user,
             [](ScanOptions& o, const std::string& v, const ParseContext&) {
                 o.login.user = v;
                 return std::string();
             }},
            {"--password-file", "", Takes::Value, "--password-file needs a file", "--password-file FILE",
             "LX400 password from the first line of FILE\n(TRAWLIX_PASSWORD in the environment works as well)",
             [](ScanOptions& o, const std::string& v, const ParseContext& context) {
                 const auto password = context.readPasswordFile(v);
                 if (!password)
                     return "cannot read the password file " + v;
                 o.login.password = *password;
                 return std::string();
             }},
            {"--http", "", Takes::Flag, "", "--http", "LX400 over HTTP on port 80 instead of HTTPS on 443",
             [](ScanOptions& o, const std::string&, const ParseContext&) {
                 o.login.useHttps = false;
                 return std::string();
             }},
            {"--update-server", "", Takes::Text, "--update-server needs HOST[:PORT]", "--update-server HOST[:PORT]",
             std::string("the vendor's web server, default ") + kDefaultUpdateServer, Set<&ScanOptions::updateServer>},
            {"--vendor-cache-hours", "", Takes::Value,
             "--vendor-cache-hours must be a number from 0 to " + std::to_string(kMostCacheHours),
             "--vendor-cache-hours H",
             "keep the vendor's answers for H hours (0 to " + std::to_string(kMostCacheHours) +
                 ") in\n$XDG_CACHE_HOME/trawlix for later searches; default 0: kept for\nthe search only",
             [](ScanOptions& o, const std::string& v, const ParseContext&) {
                 if (!ParseInt(v, 0, kMostCacheHours, o.vendorCacheHours))
                     return "--vendor-cache-hours must be a number from 0 to " + std::to_string(kMostCacheHours);
                 return std::string();
             }},
            {"--jobs", "", Takes::Value, "--jobs must be a number from 1 to " + std::to_string(kMostJobs), "--jobs N",
             "probe jobs at once, 1 to " + std::to_string(kMostJobs) + ", default " + std::to_string(defaults.jobs),
             [](ScanOptions& o, const std::string& v, const ParseContext&) {
                 if (!ParseInt(v, 1, kMostJobs, o.jobs))
                     return "--jobs must be a number from 1 to " + std::to_string(kMostJobs);
                 return std::string();
             }},
            {"--format", "", Takes::Value, "--format needs " + FormatNames(), "--format " + FormatNames("|"),
             "default " + std::string(RecordFormatName(defaults.format)) +
                 "; prometheus: the text node_exporter's textfile\ncollector reads, with series about the search",
             [](ScanOptions& o, const std::string& v, const ParseContext&) {
                 const auto format = RecordFormatNamed(v);
                 if (!format)
                     return "unknown format " + v + " (" + FormatNames() + ")";
                 o.format = *format;
                 return std::string();
             }},
            {"--lang", "", Takes::Value, "--lang needs en or de", "--lang en|de",
             "language of texts such as the Update column",
             [](ScanOptions& o, const std::string& v, const ParseContext&) {
                 if (v == "en")
                     o.language = ScanOptions::Language::English;
                 else if (v == "de")
                     o.language = ScanOptions::Language::German;
                 else
                     return "unknown language " + v + " (en or de)";
                 return std::string();
             }},
            {"--no-progress", "", Takes::Flag, "", "--no-progress", "no progress bar on standard error",
             Switch<&ScanOptions::progress, false>},
            {"--no-discovery", "", Takes::Flag, "", "--no-discovery",
             "probe every address directly instead of knocking on its ports\nfirst (for networks that drop the "
             "knocks but answer the probes)",
             Switch<&ScanOptions::discovery, false>},
            {"--explain", "", Takes::Flag, "", "--explain",
             "after the list, on standard error: why each searched address that\nanswered is not listed, and how "
             "many did not answer at all (with\n--format json: an array of {ip, reason, detail})",
             Switch<&ScanOptions::explain, true>},
            {"--compare", "", Takes::Text, "--compare needs the FILE of an earlier --format json result",
             "--compare FILE",
             "after the search, what changed since FILE (an earlier --format\njson result): adapters new, gone, and "
             "changed (matched by MAC\naddress, else by IP address)",
             Set<&ScanOptions::compareFile>},
            {"--output", "", Takes::Text, "--output needs a FILE", "--output FILE",
             "write the result to FILE instead of standard output: beside it,\nthen renamed into place. An "
             "interrupted or failed search leaves\nFILE as it was; Prometheus text keeps the adapters of FILE "
             "and\nsays trawlix_search_success 0",
             Set<&ScanOptions::outputFile>},
            {"--check", "", Takes::Flag, "", "--check",
             "a monitoring plugin: one status line with performance data on\nstandard output (the result goes "
             "only to --output FILE) and the\nexit status 0 OK, 1 WARNING (firmware updates available; with\n"
             "--compare also new or changed adapters), 2 CRITICAL (with\n--compare: adapters gone), 3 UNKNOWN "
             "(the search could not run\nor was interrupted, wrong usage included)",
             Switch<&ScanOptions::check, true>},
            {"--flash-tool", "", Takes::OptionalValue, "", "--flash-tool [DIR]",
             "instead of searching: the flashing tool found in DIR, its OEM number\nand its firmware per adapter type; "
             "by default in the folder of\ntrawlix.ini (~/.config/trawlix/ when installed, else beside the program)",
             [](ScanOptions& o, const std::string& v, const ParseContext&) {
                 o.flashTool = true;
                 o.flashToolDir = v;
                 return std::string();
             }},
            {"--version", "", Takes::Nothing, "", "--version, --help", "", Switch<&ScanOptions::showVersion, true>},
            {"--help", "-h", Takes::Nothing, "", "", "", Switch<&ScanOptions::showHelp, true>},
            {"--", "", Takes::EndOfOptions, "", "--", "ends the options", nullptr},
        };
    }();
    return options;
}

const Option* OptionNamed(const std::string& name)
{
    const auto& options = Options();
    const auto it = std::find_if(options.begin(), options.end(), [&](const Option& option) {
        return option.name == name || (!option.alias.empty() && option.alias == name);
    });
    return it == options.end() ? nullptr : &*it;
}

ParseResult Fail(std::string reason)
{
    return ParseResult{std::nullopt, std::move(reason)};
}

// What is left to check once every argument was read: the combinations of options and the
// networks.
ParseResult Validate(ScanOptions options, const std::vector<std::string>& nets)
{
    if (options.showHelp || options.showVersion)
        return ParseResult{options, {}};
    const bool namedNetworks = !nets.empty() || !options.networksFiles.empty();
    if (options.flashTool) {
        const std::pair<bool, const char*> searchOnly[] = {
            {namedNetworks, "subnet"},
            {!options.excluded.empty(), "--exclude"},
            {!options.compareFile.empty(), "--compare"},
            {options.check, "--check"},
            {options.vendorCacheHours > 0, "--vendor-cache-hours"},
            {options.format == ScanOptions::Format::Prometheus, "--format prometheus"},
        };
        for (const auto& [given, name] : searchOnly) {
            if (given)
                return Fail(std::string("--flash-tool reports a tool folder and takes no ") + name);
        }
        return ParseResult{options, {}};
    }
    if (!options.compareFile.empty() &&
        (options.format == ScanOptions::Format::Csv || options.format == ScanOptions::Format::Prometheus))
        return Fail("--compare prints a table or JSON, not " +
                    std::string(options.format == ScanOptions::Format::Csv ? "CSV" : "Prometheus text"));
    if (!options.scanRange && !options.scanDefaultAddress)
        return Fail("nothing to search: --no-range and --no-default-address leave no address");
    if (options.scanRange) {
        if (!namedNetworks)
            return Fail("a subnet is needed, e.g. 192.168.1.* or 10.20.0.0/22, or --networks-file FILE");
        // The command line's networks go first; the networks files' are in already.
        std::vector<scan::Ipv4Network> named;
        std::vector<std::string> shown;
        for (const std::string& text : nets) {
            std::string reason;
            const auto network = scan::ParseNetwork(text, &reason);
            if (!network)
                return Fail(reason);
            named.push_back(*network);
            shown.push_back(TerminalText(text));
        }
        for (const scan::Ipv4Network& network : options.networks)
            shown.push_back(network.first.Text() + "/" + std::to_string(network.prefixLength));
        options.networks.insert(options.networks.begin(), named.begin(), named.end());
        if (options.networks.empty())
            return Fail("no network to search in " + Shown(options.networksFiles.front()) +
                        " (one NET a line, e.g. 192.168.1.*)");
        if (options.firstHost > options.lastHost)
            return Fail("--first must not be greater than --last");
        // A network without any host to search is a mistake, not something to pass over quietly;
        // one that --exclude empties was left out on purpose.
        const scan::NetworkList hosts(options.networks, options.firstHost, options.lastHost);
        for (std::size_t i = 0; i < options.networks.size(); ++i) {
            if (hosts.AddressesOf(options.networks[i]).empty())
                return Fail("nothing to search in " + shown[i] + " with hosts " + std::to_string(options.firstHost) +
                            " to " + std::to_string(options.lastHost) + " (--first, --last)");
        }
    } else if (namedNetworks) {
        return Fail("--no-range searches only 10.10.10.10 and takes no subnet or --networks-file");
    }
    if (scan::PlanAddresses(options.Networks(), options.scanRange, options.scanDefaultAddress).empty())
        return Fail("nothing to search: --exclude leaves no address");
    return ParseResult{options, {}};
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

std::optional<std::string> ReadTextFile(const std::string& path, std::string* reason)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *reason = std::strerror(errno != 0 ? errno : ENOENT);
        return std::nullopt;
    }
    // A device that never ends (/dev/zero) is no list of networks.
    std::string text(kMaxTextFileBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) {
        *reason = "read error";
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxTextFileBytes) {
        *reason = "larger than " + std::to_string(kMaxTextFileBytes / 1024) + " KiB";
        return std::nullopt;
    }
    return text;
}

bool AsksForCheck(const std::vector<std::string>& args)
{
    const auto end = std::find(args.begin(), args.end(), "--");
    return std::find(args.begin(), end, "--check") != end;
}

scan::NetworkList ScanOptions::Networks() const
{
    scan::NetworkList list(networks, firstHost, lastHost);
    for (const scan::Ipv4Network& network : excluded)
        list.Exclude(network);
    return list;
}

scan::SearchPlan ScanOptions::Plan() const
{
    scan::SearchPlan plan;
    plan.networks = Networks();
    plan.scanRange = scanRange;
    plan.scanDefaultAddress = scanDefaultAddress;
    plan.login = login;
    plan.jobs = jobs;
    plan.discovery = discovery;
    return plan;
}

ParseResult ParseScanOptions(const std::vector<std::string>& args, const char* envPassword,
                             PasswordFileReader readPasswordFile, TextFileReader readTextFile)
{
    const ParseContext context{readPasswordFile, readTextFile};
    ScanOptions options;
    if (envPassword != nullptr)
        options.login.password = envPassword;
    std::vector<std::string> nets;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded) {
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
        const Option* option = OptionNamed(name);
        if (option != nullptr && (option->takes == Takes::Flag || option->takes == Takes::EndOfOptions) && inlineValue)
            option = nullptr;
        if (option == nullptr) {
            if (arg.size() > 1 && arg[0] == '-')
                return Fail("unknown option " + arg);
            nets.push_back(arg);
            continue;
        }
        std::string value;
        switch (option->takes) {
        case Takes::EndOfOptions:
            // After "--" every argument is a network, also one that starts with '-'.
            optionsEnded = true;
            continue;
        case Takes::Nothing:
        case Takes::Flag:
            break;
        case Takes::Value:
        case Takes::Text:
            if (inlineValue)
                value = *inlineValue;
            else if (i + 1 < args.size())
                value = args[++i];
            else
                return Fail(option->missing);
            if (option->takes == Takes::Text && value.empty())
                return Fail(option->missing);
            break;
        case Takes::OptionalValue:
            if (inlineValue)
                value = *inlineValue;
            else if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-')
                value = args[++i];
            break;
        }
        if (std::string error = option->apply(options, value, context); !error.empty())
            return Fail(std::move(error));
    }
    return Validate(std::move(options), nets);
}

std::string UsageText()
{
    // Option names and values in a column of their own, the help beside them.
    constexpr std::size_t kHelpColumn = 31;
    std::string text = "Usage: trawlix-scan [OPTIONS] [--] NET [NET...]   e.g. 192.168.1.*  10.20.0.0/22\n"
                       "Searches every NET and 10.10.10.10 for adapters in one search, each address once. NET is\n"
                       "a.b.c.* or a.b.c.N (the network a.b.c) or a.b.c.d/P with P 16 to 32 and no host bits set\n"
                       "beyond P (a /22 is four /24 networks, a /32 one host).\n";
    for (const Option& option : Options()) {
        if (option.usage.empty())
            continue;
        std::string line = "  " + option.usage;
        // A left column too wide for the help beside it stands on a line of its own.
        if (line.size() + 2 > kHelpColumn) {
            text += line + "\n";
            line.clear();
        }
        std::size_t start = 0;
        do {
            const std::size_t end = option.help.find('\n', start);
            const std::string part = option.help.substr(start, end == std::string::npos ? end : end - start);
            if (!part.empty())
                line += std::string(kHelpColumn > line.size() ? kHelpColumn - line.size() : 1, ' ') + part;
            text += line + "\n";
            line.clear();
            start = end == std::string::npos ? end : end + 1;
        } while (start != std::string::npos);
    }
    return text + "Exit status: 0 after a completed search, 3 when --compare found a change, 2 for wrong usage,\n"
                  "1 for other failures, 130 (Ctrl-C) or 143 (SIGTERM) when interrupted (what was found so far\n"
                  "is printed, unless it goes to --output FILE). With --check only the plugin's 0 to 3.\n";
}
