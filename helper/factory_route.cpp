// trawlix-factory-route: adds the host route to the factory address of a new or reset adapter,
// 10.10.10.10, through the interface named on its command line. The desktop program runs it as
// root through pkexec, so it trusts nothing it is given: exactly one argument, an interface name
// of a strict alphabet, an interface that exists, is up and is no loopback. It reads no
// environment variable, starts no other program and never replaces a route that exists.
#include "net/route_netlink.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kFactoryAddress = 0x0A0A0A0Au; // 10.10.10.10

int Exit(net::RouteHelperExit status)
{
    std::fflush(stdout);
    return static_cast<int>(status);
}

int Refuse(const char* why)
{
    std::fprintf(stderr,
                 "trawlix-factory-route: %s\n"
                 "usage: trawlix-factory-route INTERFACE\n"
                 "Adds the route to 10.10.10.10, the address of a new or reset adapter, through INTERFACE,\n"
                 "the wired network interface the adapter is plugged into.\n",
                 why);
    return Exit(net::RouteHelperExit::Refused);
}

// Whether `name` is an interface name this program takes: 1 to 15 bytes (the kernel's limit)
// of ASCII letters, digits, '.', '-' and '_', beginning with a letter or a digit. That leaves out
// options, paths, "." and "..", blanks and every control or non-ASCII byte; the kernel's own rule
// is wider, but no wired interface needs more.
bool AcceptableName(const char* name)
{
    const std::size_t length = ::strnlen(name, IFNAMSIZ);
    if (length == 0 || length >= IFNAMSIZ)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = name[i];
        const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alphanumeric && (i == 0 || (c != '.' && c != '-' && c != '_')))
            return false;
    }
    return true;
}

// Messages go to open standard streams only: a descriptor left closed by the caller would
// otherwise be taken by the netlink socket, and a message written into it.
void OpenStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        // The lowest free descriptor is this one.
        if (::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd)
            ::_exit(static_cast<int>(net::RouteHelperExit::Failed));
    }
}

} // namespace

int main(int argc, char** argv)
{
    OpenStandardStreams();
    if (argc != 2 || argv[1] == nullptr)
        return Refuse(argc < 2 ? "no interface named" : "exactly one argument, the interface, is taken");
    const char* name = argv[1];
    if (name[0] == '-')
        return Refuse("options are not taken");
    if (!AcceptableName(name))
        return Refuse("not an interface name (1 to 15 letters, digits, '.', '-' or '_', beginning with a letter "
                      "or digit)");

    const net::LinkList list = net::ListLinks();
    if (list.error != 0) {
        std::fprintf(stderr, "trawlix-factory-route: cannot list the network interfaces: %s\n",
                     std::strerror(list.error));
        return Exit(net::RouteHelperExit::Failed);
    }
    const net::LinkInfo* link = nullptr;
    for (const net::LinkInfo& candidate : list.links) {
        if (candidate.name == name)
            link = &candidate;
    }
    if (link == nullptr) {
        std::fprintf(stderr, "trawlix-factory-route: there is no network interface %s\n", name);
        return Exit(net::RouteHelperExit::NoSuchInterface);
    }
    if ((link->flags & IFF_LOOPBACK) != 0)
        return Refuse("the loopback interface leads to no adapter");
    if ((link->flags & IFF_UP) == 0) {
        std::fprintf(stderr, "trawlix-factory-route: the network interface %s is down\n", name);
        return Exit(net::RouteHelperExit::InterfaceDown);
    }

    const int error = net::AddOnLinkHostRoute(kFactoryAddress, link->index);
    const net::RouteHelperExit status = net::RouteHelperExitFor(error);
    switch (status) {
    case net::RouteHelperExit::Added:
        std::printf("trawlix-factory-route: route to 10.10.10.10 added through %s\n", name);
        break;
    case net::RouteHelperExit::AlreadyPresent:
        std::printf("trawlix-factory-route: a route to 10.10.10.10 is present already\n");
        break;
    case net::RouteHelperExit::NotPermitted:
        std::fprintf(stderr, "trawlix-factory-route: not permitted to change the routing table (it runs as root, "
                             "through pkexec)\n");
        break;
    case net::RouteHelperExit::NoSuchInterface:
        std::fprintf(stderr, "trawlix-factory-route: there is no network interface %s\n", name);
        break;
    case net::RouteHelperExit::InterfaceDown:
        std::fprintf(stderr, "trawlix-factory-route: the network interface %s is down\n", name);
        break;
    default:
        std::fprintf(stderr, "trawlix-factory-route: cannot add the route through %s: %s\n", name,
                     std::strerror(error));
        break;
    }
    return Exit(status);
}
