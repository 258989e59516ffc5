#include "scan/network_list.h"

#include "scan/record/record_format.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>

namespace scan {

namespace {

std::uint32_t HostMask(int prefixLength)
{
    return prefixLength >= 32 ? 0u : 0xFFFFFFFFu >> prefixLength;
}

std::nullopt_t Refuse(std::string* reason, std::string text)
{
    if (reason != nullptr)
        *reason = std::move(text);
    return std::nullopt;
}

} // namespace

Ipv4Address Ipv4Network::Last() const
{
    return Ipv4Address(first.Value() | HostMask(prefixLength));
}

bool Ipv4Network::Contains(Ipv4Address address) const
{
    return (address.Value() & ~HostMask(prefixLength)) == first.Value();
}

std::optional<Ipv4Network> ParseNetwork(std::string_view text, std::string* reason)
{
    const std::string shown = TerminalText(std::string(text));
    const std::string forms = " (a.b.c.* or a.b.c.N, or a.b.c.d/P with P 16 to 32, e.g. 192.168.1.* or 10.20.0.0/22)";
    if (const auto slash = text.find('/'); slash != std::string_view::npos) {
        const auto address = Ipv4Address::Parse(text.substr(0, slash));
        const std::string_view length = text.substr(slash + 1);
        int prefixLength = -1;
        const auto [end, ec] = std::from_chars(length.data(), length.data() + length.size(), prefixLength);
        const bool number = ec == std::errc() && end == length.data() + length.size() && length.size() <= 2 &&
                            !(length.size() > 1 && length.front() == '0');
        if (!address || !number)
            return Refuse(reason, "not a subnet: \"" + shown + "\"" + forms);
        if (prefixLength < kWidestPrefix || prefixLength > 32)
            return Refuse(reason, "the prefix length of " + shown + " must be 16 to 32");
        if ((address->Value() & HostMask(prefixLength)) != 0) {
            const Ipv4Address network(address->Value() & ~HostMask(prefixLength));
            return Refuse(reason, shown + " has host bits beyond /" + std::to_string(prefixLength) +
                                      ": the network is " + network.Text() + "/" + std::to_string(prefixLength));
        }
        return Ipv4Network{*address, prefixLength};
    }
    std::optional<Ipv4Address> address;
    if (text.size() > 2 && text.substr(text.size() - 2) == ".*")
        address = Ipv4Address::Parse(std::string(text.substr(0, text.size() - 2)) + ".0");
    else
        address = Ipv4Address::Parse(text);
    if (!address)
        return Refuse(reason, "not a subnet: \"" + shown + "\"" + forms);
    return Ipv4Network{Ipv4Address(address->Value() & 0xFFFFFF00u), 24};
}

std::optional<Ipv4Network> NetworkOfSubnetText(std::string_view subnet)
{
    const auto dot = subnet.rfind('.');
    const std::string_view prefix = dot != std::string_view::npos && dot > 0 ? subnet.substr(0, dot) : subnet;
    const auto address = Ipv4Address::Parse(std::string(prefix) + ".0");
    if (!address)
        return std::nullopt;
    return Ipv4Network{*address, 24};
}

NetworkList::NetworkList(std::vector<Ipv4Network> networks, std::int32_t firstHost, std::int32_t lastHost)
    : networks_(std::move(networks)), firstHost_(firstHost), lastHost_(lastHost)
{}

void NetworkList::Add(const Ipv4Network& network)
{
    networks_.push_back(network);
}

void NetworkList::Exclude(const Ipv4Network& network)
{
    excluded_.push_back(network);
}

void NetworkList::SetHostRange(std::int32_t firstHost, std::int32_t lastHost)
{
    firstHost_ = firstHost;
    lastHost_ = lastHost;
}

bool NetworkList::Excludes(Ipv4Address address) const
{
    return std::any_of(excluded_.begin(), excluded_.end(),
                       [address](const Ipv4Network& network) { return network.Contains(address); });
}

std::vector<Ipv4Address> NetworkList::AddressesOf(const Ipv4Network& network) const
{
    std::vector<Ipv4Address> out;
    const std::uint32_t first = network.first.Value();
    const std::uint32_t last = network.Last().Value();
    const std::int32_t lowHost = std::clamp(firstHost_, 0, 254);
    const std::int32_t highHost = std::clamp(lastHost_, 1, 254);
    for (std::uint32_t block = first >> 8; block <= last >> 8; ++block) {
        const std::uint32_t base = block << 8;
        const auto low = std::max<std::int64_t>(lowHost, std::max(first, base) - base);
        const auto high = std::min<std::int64_t>(highHost, std::min(last, base | 0xFFu) - base);
        for (std::int64_t host = low; host <= high; ++host) {
            const Ipv4Address address(base | static_cast<std::uint32_t>(host));
            if (!Excludes(address))
                out.push_back(address);
        }
    }
    return out;
}

std::vector<Ipv4Address> NetworkList::Addresses() const
{
    std::vector<Ipv4Address> out;
    std::unordered_set<std::uint32_t> seen;
    for (const Ipv4Network& network : networks_) {
        for (const Ipv4Address address : AddressesOf(network)) {
            if (seen.insert(address.Value()).second)
                out.push_back(address);
        }
    }
    return out;
}

} // namespace scan
