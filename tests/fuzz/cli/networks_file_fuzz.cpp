// Networks files handed to `trawlix-scan --networks-file`: reading one never crashes, a refusal is
// one line that names the file, and what is read is one network per line that holds one, each a
// network with its prefix from 16 to 32 and no host bits beyond it.
#include "cli/options.h"

#include <cstdint>
#include <string>

namespace {

std::string g_file;

std::optional<std::string> TheFile(const std::string&, std::string*)
{
    return g_file;
}

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    g_file.assign(reinterpret_cast<const char*>(data), size);
    // One host a /24 keeps the check of every network's hosts cheap for a file of /16 networks.
    const ParseResult parsed =
        ParseScanOptions({"--last", "1", "--networks-file", "site.net"}, nullptr, nullptr, &TheFile);
    if (!parsed.options) {
        Check(parsed.error.find('\n') == std::string::npos);
        Check(parsed.error.rfind("site.net:", 0) == 0 ||
              parsed.error.rfind("no network to search in site.net", 0) == 0 ||
              parsed.error.rfind("nothing to search in ", 0) == 0);
        return 0;
    }
    std::size_t lines = 0;
    for (std::size_t at = 0; at <= g_file.size();) {
        const std::size_t end = std::min(g_file.find('\n', at), g_file.size());
        const std::string line = g_file.substr(at, end - at).substr(0, g_file.substr(at, end - at).find('#'));
        lines += line.find_first_not_of(" \t\r") != std::string::npos ? 1 : 0;
        at = end + 1;
    }
    Check(parsed.options->networks.size() == lines);
    for (const scan::Ipv4Network& network : parsed.options->networks) {
        Check(network.prefixLength >= scan::kWidestPrefix && network.prefixLength <= 32);
        Check(network.Contains(network.first) && network.Contains(network.Last()));
        Check(network.prefixLength == 32 || (network.first.Value() & 1u) == 0);
    }
    return 0;
}
