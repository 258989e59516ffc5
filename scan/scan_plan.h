#pragma once

#include "scan/network_list.h"
#include "support/text/ipv4.h"

#include <string>
#include <vector>

namespace scan {

// The LX400 login of a search; by default the login the adapters leave the factory with.
struct Login
{
    std::string user = "admin";
    std::string password = "lx400-dflt";
    bool useHttps = true; // HTTPS on port 443, else HTTP on port 80

    bool operator==(const Login&) const = default;
};

// The factory address of the adapters, searched first when a search includes it.
inline constexpr Ipv4Address kFactoryAddress{10, 10, 10, 10};

// One address a search visits.
struct PlannedAddress
{
    Ipv4Address address;
    bool defaultAddress = false; // the factory address, not a host of a searched network

    bool operator==(const PlannedAddress&) const = default;
};

// The addresses of a search in start order: the factory address first (when included and not
// excluded), then the addresses of the networks (NetworkList::Addresses). An address named twice
// (the factory address inside a searched network, networks that overlap) is visited once, at its
// first place.
[[nodiscard]] std::vector<PlannedAddress> PlanAddresses(const NetworkList& networks, bool scanRange,
                                                        bool scanDefaultAddress);

} // namespace scan
