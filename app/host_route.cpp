#include "app/host_route.h"

#include "support/text/system.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

constexpr std::uint32_t kLoopbackNet = 0x7F000000u; // 127.0.0.0/8
constexpr std::uint32_t kLoopbackMask = 0xFF000000u;

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The gateway address the host name leads to: its official name, resolved once more when it
// is a name and read as a dotted address otherwise.
std::optional<std::uint32_t> GatewayAddress(const std::string& hostName, const HostResolver& resolve)
{
    const std::optional<ResolvedHost> host = resolve(hostName);
    if (!host)
        return std::nullopt;
    const std::string& official = host->officialName;
    if (!official.empty() && IsAsciiLetter(official.front())) {
        const std::optional<ResolvedHost> gateway = resolve(official);
        if (!gateway)
            return std::nullopt;
        return gateway->address;
    }
    in_addr parsed{};
    if (official.empty() || inet_aton(official.c_str(), &parsed) == 0)
        return std::nullopt;
    return ntohl(parsed.s_addr);
}

// The interface to route through: the one holding the gateway address, or, for the machine
// itself (a loopback gateway), its first working non-loopback interface.
std::optional<std::string> RouteInterface(std::uint32_t gateway, const std::vector<InterfaceAddress>& addresses)
{
    bool local = (gateway & kLoopbackMask) == kLoopbackNet;
    if (!local) {
        for (const InterfaceAddress& entry : addresses) {
            if (entry.ipv4 && entry.address == gateway) {
                if (!entry.loopback)
                    return entry.interfaceName;
                local = true;
                break;
            }
        }
    }
    if (!local)
        return std::nullopt;
    for (const InterfaceAddress& entry : addresses) {
        if (entry.ipv4 && entry.up && !entry.loopback && (entry.address & kLoopbackMask) != kLoopbackNet)
            return entry.interfaceName;
    }
    return std::nullopt;
}

struct AddrInfoFree
{
    void operator()(addrinfo* info) const { freeaddrinfo(info); }
};

} // namespace

CommandRunner SystemCommandRunner()
{
    return [](const std::vector<std::string>& argv) -> int {
        if (argv.empty())
            return -1;
        std::vector<char*> args;
        args.reserve(argv.size() + 1);
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);

        // The command's messages are of no use to a windowed program; it only needs to run.
        posix_spawn_file_actions_t actions;
        if (posix_spawn_file_actions_init(&actions) != 0)
            return -1;
        for (const int fd : {0, 1, 2})
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
        // The command starts with no blocked signals and default handlers, whatever the program
        // set up for itself.
        posix_spawnattr_t attributes;
        if (posix_spawnattr_init(&attributes) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return -1;
        }
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        pid_t pid = 0;
        const int spawned = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return -1;
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR)
                return -1;
        }
        if (WIFEXITED(status))
            return WEXITSTATUS(status);
        return 128 + WTERMSIG(status);
    };
}

std::optional<ResolvedHost> SystemResolveHost(const std::string& name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return std::nullopt;
    const std::unique_ptr<addrinfo, AddrInfoFree> list(found);
    ResolvedHost host;
    host.officialName = found->ai_canonname != nullptr ? found->ai_canonname : name;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
            sockaddr_in address{};
            std::memcpy(&address, entry->ai_addr, sizeof address);
            host.address = ntohl(address.sin_addr.s_addr);
            return host;
        }
    }
    return std::nullopt;
}

bool SystemMayChangeRoutes()
{
    return IsUserAdministrator() != 0;
}

std::vector<std::string> HostRouteCommand(const std::string& destination, const std::string& interfaceName)
{
    return {"ip", "route", "replace", destination + "/32", "dev", interfaceName};
}

bool AddHostRoute(const char* hostName, const char* destination, const CommandRunner& run)
{
    HostRouteSystem system;
    system.run = run;
    return AddHostRoute(hostName, destination, system);
}

bool AddHostRoute(const char* hostName, const char* destination, const HostRouteSystem& system)
{
    if (hostName == nullptr || destination == nullptr || !system.run || !system.resolve || !system.interfaces ||
        !system.mayChangeRoutes || !system.mayChangeRoutes())
        return false;
    // The destination becomes part of a command line: only a plain dotted address is taken.
    in_addr parsed{};
    if (inet_pton(AF_INET, destination, &parsed) != 1)
        return false;
    const std::optional<std::uint32_t> gateway = GatewayAddress(hostName, system.resolve);
    if (!gateway)
        return false;
    const std::optional<std::string> interfaceName = RouteInterface(*gateway, system.interfaces());
    if (!interfaceName || interfaceName->empty())
        return false;
    const int status = system.run(HostRouteCommand(destination, *interfaceName));
    if (status < 0) {
        std::printf("ip failed with <%d>\n", status);
        std::fflush(stdout);
        return false;
    }
    return true;
}

bool ShouldShowNoRoute(bool defaultAddressFound, bool scanDefaultAddress, bool isAdministrator, bool suppressNoRoute)
{
    return !defaultAddressFound && scanDefaultAddress && !isAdministrator && !suppressNoRoute;
}
