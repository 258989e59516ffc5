#include "app/host_route.h"

#include "testsupport/temp_folder.h"

#include <cerrno>
#include <cstdlib>
#include <net/if.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using net::LinkInfo;
using net::RouteLookup;

constexpr unsigned kUpWithLink = IFF_UP | IFF_RUNNING | 0x10000; // IFF_LOWER_UP

LinkInfo Link(int index, const char* name, unsigned flags = kUpWithLink, const char* kind = "", unsigned type = 1,
              int master = 0)
{
    LinkInfo link;
    link.index = index;
    link.name = name;
    link.flags = flags;
    link.kind = kind;
    link.type = type;
    link.master = master;
    return link;
}

const LinkInfo kLoopback = Link(1, "lo", IFF_UP | IFF_LOOPBACK | 0x10000, "", 772);

bool NamedWireless(const LinkInfo& link)
{
    return link.name.rfind("wl", 0) == 0;
}

TEST(HostRouteTest, TheRouteGoesThroughTheWiredInterfaceWithALink)
{
    struct Case
    {
        const char* what;
        std::vector<LinkInfo> links;
        const char* chosen; // empty: none
    };
    const Case cases[] = {
        {"Wi-Fi for the internet, a cable to the adapter",
         {kLoopback, Link(2, "wlp2s0"), Link(3, "enp0s31f6")},
         "enp0s31f6"},
        {"the built-in port has no cable, the USB adapter has",
         {kLoopback, Link(2, "enp0s31f6", IFF_UP), Link(3, "enx00e04c680001")},
         "enx00e04c680001"},
        {"a wired interface that is down", {kLoopback, Link(2, "eth0", 0)}, ""},
        {"Wi-Fi only", {kLoopback, Link(2, "wlan0")}, ""},
        {"loopback only", {kLoopback}, ""},
        {"hardware before a container bridge listed first",
         {kLoopback, Link(2, "docker0", kUpWithLink, "bridge"), Link(3, "eth0")},
         "eth0"},
        {"a veth pair when nothing else has a link",
         {kLoopback, Link(2, "wlan0"), Link(5, "veth1", kUpWithLink, "veth")},
         "veth1"},
        {"a bridge's port gives way to its bridge",
         {kLoopback, Link(2, "eth0", kUpWithLink, "", 1, 4), Link(4, "br0", kUpWithLink, "bridge")},
         "br0"},
        {"tunnels, taps and dummies lead to no cable",
         {kLoopback, Link(2, "tun0", kUpWithLink, "tun", 65534), Link(3, "wg0", kUpWithLink, "wireguard", 65534),
          Link(4, "tap0", kUpWithLink, "tun"), Link(5, "dummy0", kUpWithLink, "dummy")},
         ""},
        {"two cables: the kernel's first", {kLoopback, Link(2, "eth0"), Link(3, "eth1")}, "eth0"},
    };
    for (const Case& c : cases) {
        const auto chosen = ChooseRouteInterface(c.links, NamedWireless);
        EXPECT_EQ(chosen ? chosen->name : std::string(), c.chosen) << c.what;
    }
}

TEST(HostRouteTest, OnlyALocalOrOnLinkEthernetRouteReachesTheAddressDirectly)
{
    const std::vector<LinkInfo> links{kLoopback, Link(2, "eth0"), Link(3, "wg0", kUpWithLink, "wireguard", 65534)};
    struct Case
    {
        RouteLookup route;
        bool direct;
    };
    const Case cases[] = {
        {{RouteLookup::Kind::Local, 1, 0}, true},
        {{RouteLookup::Kind::OnLink, 2, 0}, true},
        // A VPN's "default dev wg0" leads on-link, into the tunnel.
        {{RouteLookup::Kind::OnLink, 3, 0}, false},
        {{RouteLookup::Kind::OnLink, 9, 0}, true},
        {{RouteLookup::Kind::Gateway, 2, 0}, false},
        {{RouteLookup::Kind::None, 0, ENETUNREACH}, false},
        {{RouteLookup::Kind::Other, 2, 0}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RouteReachesDirectly(c.route, links), c.direct)
            << static_cast<int>(c.route.kind) << " dev " << c.route.interfaceIndex;
}

// A machine made of a link list and one route; records every route it is asked to add.
struct FakeMachine
{
    std::vector<LinkInfo> links{kLoopback, Link(2, "wlan0"), Link(3, "eth0")};
    RouteLookup route{RouteLookup::Kind::Gateway, 2, 0}; // the Wi-Fi's default route
    int addError = 0;
    std::vector<std::pair<std::uint32_t, int>> added;

    HostRouteSystem System()
    {
        HostRouteSystem system;
        system.links = [this] { return net::LinkList{links, 0}; };
        system.wireless = NamedWireless;
        system.lookup = [this](std::uint32_t) { return route; };
        system.add = [this](std::uint32_t address, int index) {
            added.emplace_back(address, index);
            return addError;
        };
        return system;
    }
};

TEST(HostRouteTest, AddsTheRouteOnlyWhenTheTableLacksOneAndSaysWhatTheKernelAnswered)
{
    FakeMachine machine;
    HostRouteResult result = AddHostRoute("10.10.10.10", machine.System());
    EXPECT_EQ(result.status, HostRouteStatus::Added);
    EXPECT_EQ(result.interfaceName, "eth0");
    ASSERT_EQ(machine.added.size(), 1u);
    EXPECT_EQ(machine.added[0], std::make_pair(kFactoryAddress, 3));

    const std::pair<int, HostRouteStatus> answers[] = {{EEXIST, HostRouteStatus::AlreadyPresent},
                                                       {EPERM, HostRouteStatus::NotPermitted},
                                                       {ENODEV, HostRouteStatus::NoSuchInterface},
                                                       {ENETDOWN, HostRouteStatus::InterfaceDown},
                                                       {ENOBUFS, HostRouteStatus::Failed}};
    for (const auto& [error, status] : answers) {
        machine.addError = error;
        result = AddHostRoute("10.10.10.10", machine.System());
        EXPECT_EQ(result.status, status) << error;
        EXPECT_EQ(result.error, error);
    }

    // A direct route exists (or the address is the machine's own): nothing is changed.
    machine.added.clear();
    machine.route = {RouteLookup::Kind::OnLink, 2, 0};
    EXPECT_EQ(AddHostRoute("10.10.10.10", machine.System()).status, HostRouteStatus::AlreadyPresent);
    machine.route = {RouteLookup::Kind::Local, 1, 0};
    EXPECT_EQ(AddHostRoute("10.10.10.10", machine.System()).status, HostRouteStatus::AlreadyPresent);
    // No cable: nothing to route through.
    machine.route = {RouteLookup::Kind::None, 0, ENETUNREACH};
    machine.links = {kLoopback, Link(2, "wlan0"), Link(3, "eth0", IFF_UP)};
    EXPECT_EQ(AddHostRoute("10.10.10.10", machine.System()).status, HostRouteStatus::NoInterface);
    for (const char* destination : {"10.10.10.10/8", "10.10.10", "", "localhost"})
        EXPECT_EQ(AddHostRoute(destination, machine.System()).status, HostRouteStatus::Failed) << destination;
    EXPECT_EQ(AddHostRoute(nullptr, machine.System()).status, HostRouteStatus::Failed);
    EXPECT_TRUE(machine.added.empty());
}

TEST(HostRouteTest, WirelessInterfacesAreToldByTheirDeviceFilesOfThisNamespace)
{
    testsupport::TempFolder root;
    root.WriteFile("wlp2s0/ifindex", "3\n");
    root.WriteFile("wlp2s0/wireless/.keep", "");
    root.WriteFile("wlx0/ifindex", "4\n");
    root.WriteFile("wlx0/phy80211/name", "phy1\n");
    root.WriteFile("eth0/ifindex", "2\n");
    const std::string classRoot = root.Path().string();
    EXPECT_TRUE(IsWirelessInterface(Link(3, "wlp2s0"), classRoot));
    EXPECT_TRUE(IsWirelessInterface(Link(4, "wlx0"), classRoot));
    EXPECT_FALSE(IsWirelessInterface(Link(2, "eth0"), classRoot));
    // Another namespace's entry of the same name, an interface sysfs does not show, a name that
    // would leave the folder.
    EXPECT_FALSE(IsWirelessInterface(Link(9, "wlp2s0"), classRoot));
    EXPECT_FALSE(IsWirelessInterface(Link(5, "veth1"), classRoot));
    EXPECT_FALSE(IsWirelessInterface(Link(3, "../wlp2s0"), classRoot));
}

TEST(HostRouteTest, TheHelperIsNamedByItsResolvedPathForPkexec)
{
    const std::string helper = FactoryRouteHelperPath();
    EXPECT_EQ(helper.find(".."), std::string::npos) << helper;
    ASSERT_EQ(helper.front(), '/');
    EXPECT_TRUE(helper.ends_with("/libexec/trawlix/trawlix-factory-route")) << helper;
    EXPECT_EQ(FactoryRouteCommand("eth0", "/usr/libexec/trawlix/trawlix-factory-route"),
              (std::vector<std::string>{"/usr/bin/pkexec", "/usr/libexec/trawlix/trawlix-factory-route", "eth0"}));
}

// Child side of the namespace test: 0 when everything went as expected, 77 when the machine offers
// no private network namespace, else the number of the step that failed.
int RoutesInAPrivateNetwork()
{
    if (unshare(CLONE_NEWNET) != 0 || std::system("ip link set lo up") != 0)
        return 77;
    // Only loopback: no route, nothing to route through.
    if (net::LookupRoute(kFactoryAddress).kind != RouteLookup::Kind::None ||
        net::LookupRoute(kFactoryAddress).error != ENETUNREACH)
        return 10;
    if (AddHostRoute("10.10.10.10").status != HostRouteStatus::NoInterface || CheckFactoryRoute().present)
        return 11;
    if (std::system("ip link add trx0 type veth peer name trx1") != 0)
        return 77;
    const net::LinkList list = net::ListLinks();
    int veth = 0;
    for (const LinkInfo& link : list.links) {
        if (link.name == "trx0" && link.kind == "veth" && link.type == 1)
            veth = link.index;
        if (link.name == "lo" && (link.flags & IFF_LOOPBACK) == 0)
            return 12;
    }
    if (list.error != 0 || veth == 0)
        return 13;
    // Only trx0 may carry the route: its peer becomes a port of a bridge that stays down.
    if (std::system("ip link add trxbr type bridge && ip link set trx1 master trxbr") != 0)
        return 77;
    // The kernel's answers, read from its acknowledgement.
    if (net::AddOnLinkHostRoute(kFactoryAddress, veth) != ENETDOWN)
        return 14;
    if (net::AddOnLinkHostRoute(kFactoryAddress, 9999) != ENODEV)
        return 15;
    if (std::system("ip link set trx0 up && ip link set trx1 up") != 0)
        return 16;
    if (CheckFactoryRoute().interfaceName != "trx0")
        return 17;
    const HostRouteResult added = AddHostRoute("10.10.10.10");
    if (added.status != HostRouteStatus::Added || added.interfaceName != "trx0")
        return 18;
    const RouteLookup route = net::LookupRoute(kFactoryAddress);
    if (route.kind != RouteLookup::Kind::OnLink || route.interfaceIndex != veth || !CheckFactoryRoute().present)
        return 19;
    if (std::system("ip -4 route show exact 10.10.10.10/32 | grep -q 'dev trx0 scope link'") != 0)
        return 20;
    if (net::AddOnLinkHostRoute(kFactoryAddress, veth) != EEXIST ||
        AddHostRoute("10.10.10.10").status != HostRouteStatus::AlreadyPresent)
        return 21;
    // The simulator's way: the address on the machine itself.
    if (std::system("ip route del 10.10.10.10/32 && ip addr add 10.10.10.10/32 dev lo") != 0)
        return 22;
    if (net::LookupRoute(kFactoryAddress).kind != RouteLookup::Kind::Local || !CheckFactoryRoute().present)
        return 23;
    if (std::system("ip addr del 10.10.10.10/32 dev lo") != 0)
        return 24;
    // Without CAP_NET_ADMIN the kernel refuses, whatever the table holds.
    if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)
        return 25;
    if (net::AddOnLinkHostRoute(kFactoryAddress, veth) != EPERM ||
        AddHostRoute("10.10.10.10").status != HostRouteStatus::NotPermitted)
        return 26;
    return 0;
}

TEST(HostRouteTest, TheKernelsRoutingTableInAPrivateNetwork)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(RoutesInAPrivateNetwork());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no private network namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the step that failed";
}

} // namespace
