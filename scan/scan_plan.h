#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The network prefix of a subnet text: the text up to, not including, its last '.'; the whole
// text when it has no '.' after its first character.
[[nodiscard]] std::string NetworkPrefix(const std::string& subnetText);

namespace scan {

// A network of a search: its prefix (the first three octets, "192.168.1") and the hosts from
// firstHost to lastHost within it.
struct SearchNetwork
{
    std::string prefix;
    std::int32_t firstHost = 1;
    std::int32_t lastHost = 254;

    bool operator==(const SearchNetwork&) const = default;
};

// The network a settings subnet text names ("192.168.1.*", "192.168.1.0"): only the part before
// its last dot counts, as the scan controller's SetPlan reads it.
[[nodiscard]] SearchNetwork NetworkOf(const std::string& subnetText, std::int32_t firstHost, std::int32_t lastHost);

// The factory address of the adapters, searched first when a search includes it.
inline constexpr const char* kDefaultPrefix = "10.10.10";
inline constexpr std::int32_t kDefaultHost = 10;

// One address a search visits.
struct PlannedAddress
{
    std::string prefix;
    std::int32_t host = 0;
    bool defaultAddress = false; // the factory address, not a host of a searched network

    [[nodiscard]] std::string Text() const { return prefix + "." + std::to_string(host); }
};

// The addresses of a search in start order: the factory address first (when included), then the
// hosts of each network in the order given, ascending. An address named twice (the factory
// address inside a searched network, networks that overlap) is visited once, at its first place.
// Host numbers are kept within 0..254, as they may come from a hand-edited settings file.
[[nodiscard]] std::vector<PlannedAddress> PlanAddresses(const std::vector<SearchNetwork>& networks, bool scanRange,
                                                        bool scanDefaultAddress);

} // namespace scan
