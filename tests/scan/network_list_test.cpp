#include "scan/network_list.h"
#include "scan/scan_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using scan::Ipv4Network;
using scan::NetworkList;
using scan::ParseNetwork;

Ipv4Network Net(const char* text)
{
    const auto network = ParseNetwork(text);
    EXPECT_TRUE(network) << text;
    return network.value_or(Ipv4Network{});
}

std::string Shown(const std::vector<Ipv4Address>& addresses)
{
    std::string out;
    for (const Ipv4Address address : addresses)
        out += (out.empty() ? "" : " ") + address.Text();
    return out;
}

TEST(NetworkList, ThreeDecimalOctetsAndAStarOrAHostNumber)
{
    for (const char* text : {"192.168.1.*", "192.168.1.77", "192.168.1.0"}) {
        ASSERT_TRUE(ParseNetwork(text)) << text;
        EXPECT_EQ(*ParseNetwork(text), (Ipv4Network{Ipv4Address(192, 168, 1, 0), 24})) << text;
    }
    // Each would have been searched as host names or short address forms.
    for (const char* text : {"", "abc", "300.1.1.*", "1.2.3.4.5", "192.168.1", "192.168.*", "192.168.01.*",
                             "0x0a.1.1.*", "10.1.1.*.*", "10.1.1.**", ".*", "adapter.example.*"}) {
        std::string reason;
        EXPECT_FALSE(ParseNetwork(text, &reason)) << '"' << text << '"';
        EXPECT_NE(reason.find("not a subnet"), std::string::npos) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos);
    }
}

TEST(NetworkList, CidrNetworksFromSixteenToThirtyTwoBitsWithoutHostBits)
{
    // Each text with the network it names, or a part of the reason it is refused.
    const std::pair<const char*, const char*> cases[] = {{"10.20.4.0/22", "10.20.4.0/22"},
                                                         {"10.1.0.0/16", "10.1.0.0/16"},
                                                         {"192.168.1.7/32", "192.168.1.7/32"},
                                                         {"192.168.1.128/25", "192.168.1.128/25"},
                                                         {"10.20.1.0/22", "the network is 10.20.0.0/22"},
                                                         {"192.168.1.7/31", "the network is 192.168.1.6/31"},
                                                         {"10.0.0.0/15", "16 to 32"},
                                                         {"10.0.0.0/33", "16 to 32"},
                                                         {"10.0.0.0/024", "not a subnet"},
                                                         {"10.0.0.0/", "not a subnet"},
                                                         {"10.0.0.0/+24", "not a subnet"},
                                                         {"10.0.0.*/24", "not a subnet"},
                                                         {"10.0/16", "not a subnet"},
                                                         {"adapter.example/24", "not a subnet"}};
    for (const auto& [text, outcome] : cases) {
        std::string reason;
        const auto network = ParseNetwork(text, &reason);
        const std::string got = network ? network->first.Text() + "/" + std::to_string(network->prefixLength) : reason;
        EXPECT_NE(got.find(outcome), std::string::npos) << text << ": " << got;
    }
}

TEST(NetworkList, EachSlashTwentyFourOfANetworkWithTheHostRangeInEach)
{
    const std::tuple<const char*, int, int, const char*> cases[] = {
        {"192.168.1.128/25", 250, 254, "192.168.1.250 192.168.1.251 192.168.1.252 192.168.1.253 192.168.1.254"},
        {"192.168.1.0/25", 125, 200, "192.168.1.125 192.168.1.126 192.168.1.127"},
        {"10.20.0.0/23", 254, 254, "10.20.0.254 10.20.1.254"},
        {"192.168.1.7/32", 1, 254, "192.168.1.7"},
        {"192.168.1.0/32", 1, 254, ""},
        {"255.255.255.255/32", 1, 254, ""},
        // Host numbers of a hand-edited settings file are kept within 0..254.
        {"172.16.0.0/24", -20, 999, nullptr},
        {"10.1.4.0/24", 9, 3, ""}};
    for (const auto& [text, first, last, expected] : cases) {
        const NetworkList list({Net(text)}, first, last);
        const auto addresses = list.AddressesOf(Net(text));
        if (expected == nullptr) {
            ASSERT_EQ(addresses.size(), 255u) << text;
            EXPECT_EQ(addresses.front(), Ipv4Address(172, 16, 0, 0));
            EXPECT_EQ(addresses.back(), Ipv4Address(172, 16, 0, 254));
        } else {
            EXPECT_EQ(Shown(addresses), expected) << text;
        }
        EXPECT_EQ(list.Addresses(), addresses) << text;
    }
    EXPECT_EQ(NetworkList({Net("10.1.0.0/16")}, 1, 254).Addresses().size(), 256u * 254u);
}

TEST(NetworkList, ExcludedNetworksAreTakenOutOfEveryNetworkAndTheFactoryAddress)
{
    NetworkList list({Net("10.1.2.0/29"), Net("10.1.3.0/30"), Net("10.10.10.8/29")}, 1, 254);
    list.Exclude(Net("10.1.2.4/31"));
    list.Exclude(Net("10.1.3.0/24"));
    EXPECT_EQ(Shown(list.Addresses()), "10.1.2.1 10.1.2.2 10.1.2.3 10.1.2.6 10.1.2.7 10.10.10.8 10.10.10.9 "
                                       "10.10.10.10 10.10.10.11 10.10.10.12 10.10.10.13 10.10.10.14 10.10.10.15");
    EXPECT_TRUE(list.AddressesOf(Net("10.1.3.0/30")).empty());
    EXPECT_TRUE(list.Excludes(Ipv4Address(10, 1, 3, 200)));
    EXPECT_FALSE(list.Excludes(Ipv4Address(10, 1, 2, 6)));

    list.Exclude(Net("10.10.10.10/32"));
    std::string planned;
    for (const scan::PlannedAddress& address : scan::PlanAddresses(list, true, true))
        planned += address.address.Text() + " ";
    EXPECT_EQ(planned.find("10.10.10.10 "), std::string::npos) << planned;
}

TEST(NetworkList, PlanAddressesInStartOrderEachOnce)
{
    using Networks = std::vector<Ipv4Network>;
    const std::tuple<Networks, int, int, bool, std::string> cases[] = {
        {{Net("10.1.2.*")}, 3, 4, true, "10.10.10.10* 10.1.2.3 10.1.2.4"},
        {{Net("10.1.2.*")}, 3, 4, false, "10.1.2.3 10.1.2.4"},
        // The factory address inside the searched network: once, first.
        {{Net("10.10.10.*")}, 9, 11, true, "10.10.10.10* 10.10.10.9 10.10.10.11"},
        {{Net("10.10.10.*")}, 9, 11, false, "10.10.10.9 10.10.10.10 10.10.10.11"},
        // Overlapping and repeated networks in the order given.
        {{Net("10.1.3.0/30"), Net("10.1.2.252/30"), Net("10.1.3.2/31")},
         1,
         254,
         false,
         "10.1.3.1 10.1.3.2 10.1.3.3 10.1.2.252 10.1.2.253 10.1.2.254"},
    };
    for (const auto& [networks, first, last, factory, expected] : cases) {
        std::string addresses;
        for (const scan::PlannedAddress& address :
             scan::PlanAddresses(NetworkList(networks, first, last), true, factory))
            addresses += (addresses.empty() ? "" : " ") + address.address.Text() + (address.defaultAddress ? "*" : "");
        EXPECT_EQ(addresses, expected);
    }
    // Without the range only the factory address.
    EXPECT_EQ(scan::PlanAddresses(NetworkList({Net("10.1.2.*")}, 1, 254), false, true),
              (std::vector<scan::PlannedAddress>{{scan::kFactoryAddress, true}}));
}

TEST(NetworkList, ASubnetTextOfTheSettingsNamesTheSlashTwentyFourBeforeItsLastDot)
{
    const std::pair<std::string, const char*> cases[] = {{"192.168.1.*", "192.168.1.0"},
                                                         {"192.168.1.0", "192.168.1.0"},
                                                         {"192.168.1.77", "192.168.1.0"},
                                                         {"", nullptr},
                                                         {".5", nullptr},
                                                         {"lan", nullptr},
                                                         {"192.168.1", nullptr},
                                                         {"192.168.01.*", nullptr}};
    for (const auto& [text, network] : cases) {
        const auto named = scan::NetworkOfSubnetText(text);
        if (network == nullptr) {
            EXPECT_FALSE(named) << text;
        } else {
            ASSERT_TRUE(named) << text;
            EXPECT_EQ(named->first.Text(), network) << text;
            EXPECT_EQ(named->prefixLength, 24);
        }
    }
}

} // namespace
