#pragma once

#include "net/route_netlink.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The host route to the factory address of an adapter (10.10.10.10), which is usually not part of
// the user's network: whether the routing table has one, the interface it belongs on, adding it
// when the program may change routes, the helper that adds it for a user who may not, and the
// rule for the "No route?" hint.

inline constexpr std::uint32_t kFactoryAddress = 0x0A0A0A0Au; // 10.10.10.10

// Whether /sys/class/net/NAME (under `classRoot`) shows a Wi-Fi device. The sysfs seen may be
// another network namespace's: an entry whose index is not the link's counts as unknown, and an
// unknown interface as wired.
[[nodiscard]] bool IsWirelessInterface(const net::LinkInfo& link, const std::string& classRoot = "/sys/class/net");

// Everything the route code reaches outside the program; tests hand in their own.
struct HostRouteSystem
{
    std::function<net::LinkList()> links = net::ListLinks;
    std::function<bool(const net::LinkInfo&)> wireless = [](const net::LinkInfo& link) {
        return IsWirelessInterface(link);
    };
    std::function<net::RouteLookup(std::uint32_t address)> lookup = net::LookupRoute;
    // Adds address/32 on-link through an interface index; 0 or the kernel's errno.
    std::function<int(std::uint32_t address, int interfaceIndex)> add = net::AddOnLinkHostRoute;
};

// The interface the adapter's cable most likely plugs into: up, with a link, Ethernet, neither
// loopback nor wireless nor a port of a bridge or bond, and no tunnel, tap or dummy. A hardware
// interface comes before a virtual one (veth, VLAN, bridge); among equals, the kernel's order.
// Nothing when none fits.
[[nodiscard]] std::optional<net::LinkInfo>
ChooseRouteInterface(const std::vector<net::LinkInfo>& links,
                     const std::function<bool(const net::LinkInfo&)>& wireless);

// Whether packets to the address of `route` go straight to it: it is the machine's own, or the
// route leads on-link out of an Ethernet-type interface (not through a gateway, and not into a
// tunnel without link layer, such as a VPN's default route). An interface not in `links` counts
// as Ethernet.
[[nodiscard]] bool RouteReachesDirectly(const net::RouteLookup& route, const std::vector<net::LinkInfo>& links);

// What the routing table says about the factory address now.
struct FactoryRouteState
{
    // Packets to 10.10.10.10 go straight to it.
    bool present = false;
    // The interface a route would go through (ChooseRouteInterface); empty when none fits.
    std::string interfaceName;
};
[[nodiscard]] FactoryRouteState CheckFactoryRoute(const HostRouteSystem& system = {});

enum class HostRouteStatus {
    Added,
    AlreadyPresent, // the table reaches the address already; nothing was changed
    NoInterface,    // no interface fits
    NotPermitted,   // the program may not change routes
    NoSuchInterface,
    InterfaceDown,
    Failed // the destination is no dotted address, or another error
};

struct HostRouteResult
{
    HostRouteStatus status = HostRouteStatus::Failed;
    std::string interfaceName;
    // The errno behind NotPermitted, NoSuchInterface, InterfaceDown and Failed.
    int error = 0;
};

// Adds an on-link host route for `destination` (a dotted IPv4 address) through the interface
// ChooseRouteInterface picks, unless the table reaches it directly already. The main window calls
// it once at start with "10.10.10.10": a program with CAP_NET_ADMIN (or root) adds the route;
// any other gets NotPermitted from the kernel and the "No route?" hint offers the helper later.
// The result goes to the trace as well.
HostRouteResult AddHostRoute(const char* destination, const HostRouteSystem& system = {});

// The system's pkexec, by its full path: nothing is looked up in PATH.
inline constexpr const char* kPkexecPath = "/usr/bin/pkexec";

// Where trawlix-factory-route lies: ../libexec/trawlix/ from the running program's folder, with
// every link and ".." resolved, as pkexec matches the path against the polkit action's.
[[nodiscard]] std::string FactoryRouteHelperPath();

// The command that asks the system to run the helper for `interfaceName` as root.
[[nodiscard]] std::vector<std::string> FactoryRouteCommand(const std::string& interfaceName,
                                                           const std::string& helperPath = FactoryRouteHelperPath());

// For a terminal: why 10.10.10.10 gave nothing when the route is missing, with the command that
// adds it (as root).
[[nodiscard]] std::string FactoryRouteAdvice(const FactoryRouteState& state);

// Whether the "No route?" hint belongs at the end of a search: no adapter answered at the
// factory address, the search included it, the routing table has no direct route to it and the
// user has not silenced the hint for this run.
[[nodiscard]] bool ShouldShowNoRoute(bool defaultAddressFound, bool scanDefaultAddress, bool routePresent,
                                     bool suppressNoRoute);
