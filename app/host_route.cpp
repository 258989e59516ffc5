#include "app/host_route.h"

#include "support/text/system.h"
#include "support/trace/xdbg.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <net/if.h>
#include <string_view>

namespace {

constexpr unsigned kEthernet = 1; // ARPHRD_ETHER
// IFF_LOWER_UP of <linux/if.h>, which cannot be included beside <net/if.h>: the link has carrier.
constexpr unsigned kLowerUp = 0x10000;

// Virtual Ethernet kinds that never end in the adapter's cable.
constexpr std::array<std::string_view, 8> kNoCable{"tun",    "dummy",     "vxlan",  "geneve",
                                                   "gretap", "ip6gretap", "erspan", "ip6erspan"};

bool IsCandidate(const net::LinkInfo& link, const std::function<bool(const net::LinkInfo&)>& wireless)
{
    if (link.type != kEthernet || (link.flags & IFF_LOOPBACK) != 0 || (link.flags & IFF_UP) == 0 ||
        (link.flags & kLowerUp) == 0 || link.master != 0)
        return false;
    for (const std::string_view kind : kNoCable) {
        if (link.kind == kind)
            return false;
    }
    return !(wireless && wireless(link));
}

const char* StatusText(HostRouteStatus status)
{
    switch (status) {
    case HostRouteStatus::Added:
        return "added";
    case HostRouteStatus::AlreadyPresent:
        return "present already";
    case HostRouteStatus::NoInterface:
        return "no wired interface with a link";
    case HostRouteStatus::NotPermitted:
        return "not permitted";
    case HostRouteStatus::NoSuchInterface:
        return "no such interface";
    case HostRouteStatus::InterfaceDown:
        return "interface down";
    case HostRouteStatus::Failed:
        break;
    }
    return "failed";
}

HostRouteResult Traced(HostRouteResult result, const char* destination)
{
    XDbgTrace("AddHostRoute %s dev %s: %s (%s)\n", destination, result.interfaceName.c_str(), StatusText(result.status),
              result.error != 0 ? std::strerror(result.error) : "-");
    return result;
}

} // namespace

bool IsWirelessInterface(const net::LinkInfo& link, const std::string& classRoot)
{
    // The name comes from the kernel; a path is still only made of a plain one.
    if (link.name.empty() || link.name == "." || link.name == ".." || link.name.find('/') != std::string::npos)
        return false;
    const std::filesystem::path entry = std::filesystem::path(classRoot) / link.name;
    std::ifstream indexFile(entry / "ifindex");
    int index = 0;
    if (!(indexFile >> index) || index != link.index)
        return false;
    std::error_code ec;
    return std::filesystem::exists(entry / "wireless", ec) || std::filesystem::exists(entry / "phy80211", ec);
}

std::optional<net::LinkInfo> ChooseRouteInterface(const std::vector<net::LinkInfo>& links,
                                                  const std::function<bool(const net::LinkInfo&)>& wireless)
{
    const net::LinkInfo* best = nullptr;
    for (const net::LinkInfo& link : links) {
        if (!IsCandidate(link, wireless))
            continue;
        // Hardware has no kind; the first hardware interface wins, else the first virtual one.
        if (best == nullptr || (!best->kind.empty() && link.kind.empty()))
            best = &link;
    }
    if (best == nullptr)
        return std::nullopt;
    return *best;
}

bool RouteReachesDirectly(const net::RouteLookup& route, const std::vector<net::LinkInfo>& links)
{
    if (route.kind == net::RouteLookup::Kind::Local)
        return true;
    if (route.kind != net::RouteLookup::Kind::OnLink)
        return false;
    for (const net::LinkInfo& link : links) {
        if (link.index == route.interfaceIndex)
            return link.type == kEthernet;
    }
    return true;
}

FactoryRouteState CheckFactoryRoute(const HostRouteSystem& system)
{
    FactoryRouteState state;
    const net::LinkList list = system.links ? system.links() : net::LinkList{};
    if (system.lookup)
        state.present = RouteReachesDirectly(system.lookup(kFactoryAddress), list.links);
    if (const auto chosen = ChooseRouteInterface(list.links, system.wireless))
        state.interfaceName = chosen->name;
    return state;
}

HostRouteResult AddHostRoute(const char* destination, const HostRouteSystem& system)
{
    HostRouteResult result;
    in_addr parsed{};
    if (destination == nullptr || inet_pton(AF_INET, destination, &parsed) != 1 || !system.links || !system.lookup ||
        !system.add) {
        result.error = EINVAL;
        return result;
    }
    const std::uint32_t address = ntohl(parsed.s_addr);
    const net::LinkList list = system.links();
    if (list.error != 0) {
        result.error = list.error;
        return Traced(result, destination);
    }
    if (RouteReachesDirectly(system.lookup(address), list.links)) {
        result.status = HostRouteStatus::AlreadyPresent;
        return Traced(result, destination);
    }
    const std::optional<net::LinkInfo> link = ChooseRouteInterface(list.links, system.wireless);
    if (!link) {
        result.status = HostRouteStatus::NoInterface;
        return Traced(result, destination);
    }
    result.interfaceName = link->name;
    result.error = system.add(address, link->index);
    switch (net::RouteHelperExitFor(result.error)) {
    case net::RouteHelperExit::Added:
        result.status = HostRouteStatus::Added;
        break;
    case net::RouteHelperExit::AlreadyPresent:
        result.status = HostRouteStatus::AlreadyPresent;
        break;
    case net::RouteHelperExit::NotPermitted:
        result.status = HostRouteStatus::NotPermitted;
        break;
    case net::RouteHelperExit::NoSuchInterface:
        result.status = HostRouteStatus::NoSuchInterface;
        break;
    case net::RouteHelperExit::InterfaceDown:
        result.status = HostRouteStatus::InterfaceDown;
        break;
    default:
        result.status = HostRouteStatus::Failed;
        break;
    }
    return Traced(result, destination);
}

std::string FactoryRouteHelperPath()
{
    const std::string folder = ModuleDirectory();
    if (folder.empty())
        return "/usr/libexec/trawlix/trawlix-factory-route";
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::weakly_canonical(
        std::filesystem::path(folder) / "../libexec/trawlix/trawlix-factory-route", ec);
    return ec ? folder + "../libexec/trawlix/trawlix-factory-route" : path.string();
}

std::vector<std::string> FactoryRouteCommand(const std::string& interfaceName, const std::string& helperPath)
{
    return {kPkexecPath, helperPath, interfaceName};
}

std::string FactoryRouteAdvice(const FactoryRouteState& state)
{
    // The plain ip command: it works as root on every machine, with or without polkit, and says
    // exactly which route the desktop program's helper would add.
    if (state.interfaceName.empty())
        return "no route to the factory address, and no wired interface has a link: plug the adapter in, then add "
               "the route as root with: ip route add 10.10.10.10/32 dev INTERFACE";
    return "no route to the factory address; add one through the interface the adapter is plugged into, as root: "
           "ip route add 10.10.10.10/32 dev " +
           state.interfaceName;
}

bool ShouldShowNoRoute(bool defaultAddressFound, bool scanDefaultAddress, bool routePresent, bool suppressNoRoute)
{
    return !defaultAddressFound && scanDefaultAddress && !routePresent && !suppressNoRoute;
}
