#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A network named on the command line. Today a /24 written "a.b.c.*" or "a.b.c.N" (N 0 to 255,
// ignored: --first and --last give the hosts); every part is a decimal number 0 to 255, so
// nothing a user types is ever read as a host name or a short address form.
struct ScanNetwork
{
    std::uint32_t address = 0; // the network's first address, host byte order
    int prefixLength = 24;

    // "a.b.c": the three octets of a /24 as the scan controller takes them.
    [[nodiscard]] std::string Prefix() const;

    bool operator==(const ScanNetwork&) const = default;
};

[[nodiscard]] std::optional<ScanNetwork> ParseScanNetwork(std::string_view text);
