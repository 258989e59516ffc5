#pragma once

#include "scan/scan_plan.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A network named on the command line: a /24 written "a.b.c.*" or "a.b.c.N" (N 0 to 255,
// ignored: --first and --last give the hosts), or "a.b.c.d/P" with P from 16 to 32. Every part is
// a decimal number, so nothing a user types is ever read as a host name or a short address form.
struct ScanNetwork
{
    std::uint32_t address = 0; // the network's first address, host byte order
    int prefixLength = 24;

    // "a.b.c": the three octets of its first /24 as the scan controller takes them.
    [[nodiscard]] std::string Prefix() const;
    // The network's last address.
    [[nodiscard]] std::uint32_t LastAddress() const;

    bool operator==(const ScanNetwork&) const = default;
};

// Prefix lengths a network may have: a /16 is the widest a search covers, a /32 one host.
inline constexpr int kWidestPrefix = 16;

// The network `text` names; nullopt with a one-line reason for anything else. A CIDR network
// with host bits beyond its prefix ("10.1.2.0/16") is refused, not masked: the reason names the
// network it would be, so a typo never widens a search unnoticed.
[[nodiscard]] std::optional<ScanNetwork> ParseScanNetwork(std::string_view text, std::string* reason = nullptr);

// The /24 networks of `network` with the hosts a search visits in each: --first to --last within
// every /24, and within the network itself where it is smaller than a /24. Ascending; empty when
// no host is left.
[[nodiscard]] std::vector<scan::SearchNetwork> SearchNetworksOf(const ScanNetwork& network, int firstHost,
                                                                int lastHost);
