#include "cli/scan_network.h"

#include "support/text/ipv4.h"

std::string ScanNetwork::Prefix() const
{
    const std::string dotted = FormatDottedQuad(address);
    return dotted.substr(0, dotted.rfind('.'));
}

std::optional<ScanNetwork> ParseScanNetwork(std::string_view text)
{
    std::optional<std::uint32_t> address;
    if (text.size() > 2 && text.substr(text.size() - 2) == ".*")
        address = ParseDottedQuad(std::string(text.substr(0, text.size() - 2)) + ".0");
    else
        address = ParseDottedQuad(text);
    if (!address)
        return std::nullopt;
    return ScanNetwork{*address & 0xFFFFFF00u, 24};
}
