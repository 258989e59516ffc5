#pragma once

#include "support/text/ipv4.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scan {

// A network of a search: its first address and its prefix length.
struct Ipv4Network
{
    Ipv4Address first;
    int prefixLength = 24;

    [[nodiscard]] Ipv4Address Last() const;
    [[nodiscard]] bool Contains(Ipv4Address address) const;

    bool operator==(const Ipv4Network&) const = default;
};

// Prefix lengths a network may have: a /16 is the widest a search covers, a /32 one host.
inline constexpr int kWidestPrefix = 16;

// The network `text` names: a /24 written "a.b.c.*" or "a.b.c.N" (N 0 to 255, which only names
// the network), or "a.b.c.d/P" with P from 16 to 32. Every part is a decimal number, so nothing
// a user types is ever read as a host name or a short address form. Nullopt with a one-line
// reason for anything else. A CIDR network with host bits beyond its prefix ("10.1.2.0/16") is
// refused, not masked: the reason names the network it would be, so a typo never widens a search
// unnoticed.
[[nodiscard]] std::optional<Ipv4Network> ParseNetwork(std::string_view text, std::string* reason = nullptr);

// The /24 network a settings subnet text names ("192.168.1.*", "192.168.1.0"): only the part
// before its last dot counts, and it must be three numbers; nullopt for any other text.
[[nodiscard]] std::optional<Ipv4Network> NetworkOfSubnetText(std::string_view subnet);

// The networks a search covers and the hosts it visits in them: the host numbers from first to
// last within every /24 of every network (a network smaller than a /24 only within itself), kept
// within 0..254 as they may come from a hand-edited settings file. An excluded network takes its
// addresses out of every network.
class NetworkList final
{
public:
    NetworkList() = default;
    NetworkList(std::vector<Ipv4Network> networks, std::int32_t firstHost, std::int32_t lastHost);

    void Add(const Ipv4Network& network);
    // No address of `network` is searched, whichever network holds it.
    void Exclude(const Ipv4Network& network);
    void SetHostRange(std::int32_t firstHost, std::int32_t lastHost);

    [[nodiscard]] const std::vector<Ipv4Network>& Networks() const { return networks_; }
    [[nodiscard]] bool Empty() const { return networks_.empty(); }
    [[nodiscard]] bool Excludes(Ipv4Address address) const;

    // The addresses searched in `network`, ascending.
    [[nodiscard]] std::vector<Ipv4Address> AddressesOf(const Ipv4Network& network) const;
    // Every address searched: the networks in the order added, each address once, at its first
    // place.
    [[nodiscard]] std::vector<Ipv4Address> Addresses() const;

private:
    std::vector<Ipv4Network> networks_;
    std::vector<Ipv4Network> excluded_;
    std::int32_t firstHost_ = 1;
    std::int32_t lastHost_ = 254;
};

} // namespace scan
