#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/local_networks.h"

namespace {

TEST(LocalNetworks, OnlyUpNonLoopbackIpv4InListOrder)
{
    const std::vector<InterfaceAddress> addresses = {
        {"lo", true, 0x7F000001, true, true},      // loopback interface
        {"eth0", true, 0xC0A80117, true, false},   // 192.168.1.23
        {"eth0", false, 0, true, false},           // an IPv6 address
        {"eth1", true, 0x0A000005, false, false},  // interface down
        {"wlan0", true, 0xFFFFFE01, true, false},  // 255.255.254.1
        {"dummy0", true, 0x7F000101, true, false}, // 127.0.1.1 on another interface
        {"eth0:1", true, 0xC0A801FE, true, false}, // same /24 again
        {"tun0", true, 0x00000001, true, false},   // 0.0.0.1
    };
    std::vector<std::string> list = {"kept"};
    DetectLocalNetworks(list, [&] { return addresses; });
    EXPECT_EQ(list, (std::vector<std::string>{"kept", "192.168.1.*", "255.255.254.*", "192.168.1.*", "0.0.0.*"}));

    DetectLocalNetworks(list, InterfaceAddressSource{});
    EXPECT_EQ(list.size(), 5u);
}

TEST(LocalNetworks, SystemListIsConsistent)
{
    // Whatever this machine has: a loopback interface's IPv4 address is in 127.0.0.0/8, and the
    // detection never yields it.
    for (const InterfaceAddress& entry : SystemInterfaceAddresses()) {
        if (entry.loopback && entry.ipv4) {
            EXPECT_EQ(entry.address >> 24, 127u) << entry.interfaceName;
        }
    }
    std::vector<std::string> list;
    DetectLocalNetworks(list);
    for (const std::string& network : list) {
        EXPECT_NE(network.rfind("127.", 0), 0u) << network;
        EXPECT_EQ(network.substr(network.size() - 2), ".*");
    }
}

} // namespace
