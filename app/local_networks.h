#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One address of one network interface, as the system lists them.
struct InterfaceAddress
{
    std::string interfaceName;
    bool ipv4 = false;
    // The IPv4 address in host byte order (192.168.1.23 is 0xC0A80117); unused unless `ipv4`.
    std::uint32_t address = 0;
    bool up = false;
    bool loopback = false;
};

// Where the interface addresses come from; tests hand in their own lists.
using InterfaceAddressSource = std::function<std::vector<InterfaceAddress>()>;

// The machine's interface addresses (getifaddrs); empty when they cannot be listed.
[[nodiscard]] std::vector<InterfaceAddress> SystemInterfaceAddresses();

// Appends the /24 network of every IPv4 address of an interface that is up, in the order listed,
// as a subnet text ("192.168.1.23" gives "192.168.1.*"). Loopback interfaces and 127.0.0.0/8 are
// left out. Duplicates are not removed.
void DetectLocalNetworks(std::vector<std::string>& list,
                         const InterfaceAddressSource& source = SystemInterfaceAddresses);
