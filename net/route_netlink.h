#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The kernel's routing table and interface list through rtnetlink, in the program's own process:
// no "ip" child, so every answer is the kernel's own (its acknowledgement carries the errno).
// Everything works in the calling thread's network namespace. Reading needs no right; adding a
// route needs CAP_NET_ADMIN.
namespace net {

// One network interface as the kernel lists it.
struct LinkInfo
{
    int index = 0;
    std::string name;
    // IFF_* flags; IFF_LOWER_UP stands for a link (carrier) on an interface that is up.
    unsigned flags = 0;
    // ARPHRD_* link type: 1 for Ethernet (also Wi-Fi, bridges, veth), 772 loopback, 65534 for
    // tunnels without link layer.
    unsigned type = 0;
    // The driver kind of a virtual interface ("veth", "bridge", "vlan", "tun", ...); empty for
    // hardware.
    std::string kind;
    // The index of the bridge or bond the interface is a port of; 0 for none.
    int master = 0;
};

struct LinkList
{
    std::vector<LinkInfo> links;
    // 0, or the errno that kept the list from being read (then `links` is empty).
    int error = 0;
};

// Every interface of the namespace, in the kernel's order.
[[nodiscard]] LinkList ListLinks();

// The route a packet to an IPv4 address would take now.
struct RouteLookup
{
    enum class Kind {
        None,    // no route (the kernel's errno in `error`)
        Local,   // the address is the machine's own
        OnLink,  // straight out of an interface, no gateway
        Gateway, // through a gateway
        Other    // a route of another type (broadcast, multicast, ...)
    };
    Kind kind = Kind::None;
    int interfaceIndex = 0;
    int error = 0;
};

// Asks the kernel (RTM_GETROUTE) for the route to `address` (host byte order).
[[nodiscard]] RouteLookup LookupRoute(std::uint32_t address);

// Adds `address`/32, scope link, through the interface `interfaceIndex` to the main table
// (RTM_NEWROUTE); an existing route for the same destination is never replaced. Returns 0 when
// the kernel added it, else the errno of its answer: EEXIST (one is present already), EPERM (no
// CAP_NET_ADMIN), ENODEV (no such interface), ENETDOWN (the interface is down), or another.
[[nodiscard]] int AddOnLinkHostRoute(std::uint32_t address, int interfaceIndex);

// Exit statuses of trawlix-factory-route, the helper that adds the route to the factory address
// as root; the programs that start it (through pkexec) read the outcome back from them. pkexec
// itself ends with 126 when the user dismissed its password prompt and 127 when the system did not
// authorise the helper, so these stay below.
enum class RouteHelperExit : int {
    Added = 0,
    Failed = 1,         // another error, named on standard error
    Refused = 2,        // the arguments were refused
    AlreadyPresent = 3, // a route for the address exists already
    NoSuchInterface = 4,
    InterfaceDown = 5,
    NotPermitted = 6 // not run with the right to change routes
};

// The helper's exit status for the errno of AddOnLinkHostRoute.
[[nodiscard]] RouteHelperExit RouteHelperExitFor(int error);

} // namespace net
