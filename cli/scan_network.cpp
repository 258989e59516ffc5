#include "cli/scan_network.h"

#include "scan/record/record_format.h"
#include "support/text/ipv4.h"

#include <algorithm>
#include <charconv>

namespace {

std::uint32_t HostMask(int prefixLength)
{
    return prefixLength >= 32 ? 0u : 0xFFFFFFFFu >> prefixLength;
}

bool Refuse(std::string* reason, std::string text)
{
    if (reason != nullptr)
        *reason = std::move(text);
    return false;
}

} // namespace

std::string ScanNetwork::Prefix() const
{
    const std::string dotted = FormatDottedQuad(address);
    return dotted.substr(0, dotted.rfind('.'));
}

std::uint32_t ScanNetwork::LastAddress() const
{
    return address | HostMask(prefixLength);
}

std::optional<ScanNetwork> ParseScanNetwork(std::string_view text, std::string* reason)
{
    const std::string shown = TerminalText(std::string(text));
    const std::string forms = " (a.b.c.* or a.b.c.N, or a.b.c.d/P with P 16 to 32, e.g. 192.168.1.* or 10.20.0.0/22)";
    if (const auto slash = text.find('/'); slash != std::string_view::npos) {
        const auto address = ParseDottedQuad(text.substr(0, slash));
        const std::string_view length = text.substr(slash + 1);
        int prefixLength = -1;
        const auto [end, ec] = std::from_chars(length.data(), length.data() + length.size(), prefixLength);
        const bool number = ec == std::errc() && end == length.data() + length.size() && length.size() <= 2 &&
                            !(length.size() > 1 && length.front() == '0');
        if (!address || !number) {
            Refuse(reason, "not a subnet: \"" + shown + "\"" + forms);
            return std::nullopt;
        }
        if (prefixLength < kWidestPrefix || prefixLength > 32) {
            Refuse(reason, "the prefix length of " + shown + " must be 16 to 32");
            return std::nullopt;
        }
        if ((*address & HostMask(prefixLength)) != 0) {
            const std::uint32_t network = *address & ~HostMask(prefixLength);
            Refuse(reason, shown + " has host bits beyond /" + std::to_string(prefixLength) + ": the network is " +
                               FormatDottedQuad(network) + "/" + std::to_string(prefixLength));
            return std::nullopt;
        }
        return ScanNetwork{*address, prefixLength};
    }
    std::optional<std::uint32_t> address;
    if (text.size() > 2 && text.substr(text.size() - 2) == ".*")
        address = ParseDottedQuad(std::string(text.substr(0, text.size() - 2)) + ".0");
    else
        address = ParseDottedQuad(text);
    if (!address) {
        Refuse(reason, "not a subnet: \"" + shown + "\"" + forms);
        return std::nullopt;
    }
    return ScanNetwork{*address & 0xFFFFFF00u, 24};
}

std::vector<scan::SearchNetwork> SearchNetworksOf(const ScanNetwork& network, int firstHost, int lastHost)
{
    std::vector<scan::SearchNetwork> out;
    const std::uint32_t first = network.address;
    const std::uint32_t last = network.LastAddress();
    for (std::uint32_t block = first >> 8; block <= last >> 8; ++block) {
        const std::uint32_t base = block << 8;
        const int low = std::max(firstHost, static_cast<int>(std::max(first, base) - base));
        const int high = std::min(lastHost, static_cast<int>(std::min(last, base | 0xFFu) - base));
        if (low <= high)
            out.push_back({ScanNetwork{base, 24}.Prefix(), low, high});
    }
    return out;
}
