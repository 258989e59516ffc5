#pragma once

#include "app/local_networks.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The host route to the factory address of an adapter (10.10.10.10), which is usually not part
// of the user's network, and the rule for the "No route?" hint shown when a search could not
// reach it.

// Runs a program with its arguments (argv[0] is looked up in PATH, no shell) and waits for it;
// returns its exit status, or -1 when it could not be started.
using CommandRunner = std::function<int(const std::vector<std::string>& argv)>;

// fork/exec through posix_spawnp; standard input and output of the command go to /dev/null.
[[nodiscard]] CommandRunner SystemCommandRunner();

// A host name as the host database gives it back.
struct ResolvedHost
{
    std::string officialName;
    // First IPv4 address listed, host byte order.
    std::uint32_t address = 0;
};

// Looks a name up in the host database; nothing when it is unknown or has no IPv4 address.
using HostResolver = std::function<std::optional<ResolvedHost>(const std::string& name)>;
[[nodiscard]] std::optional<ResolvedHost> SystemResolveHost(const std::string& name);

// Whether this program may change the routing table (IsUserAdministrator).
[[nodiscard]] bool SystemMayChangeRoutes();

// Everything AddHostRoute reaches outside the program, replaceable by tests. A part left empty
// makes AddHostRoute do nothing.
struct HostRouteSystem
{
    HostResolver resolve = SystemResolveHost;
    InterfaceAddressSource interfaces = SystemInterfaceAddresses;
    std::function<bool()> mayChangeRoutes = SystemMayChangeRoutes;
    CommandRunner run = SystemCommandRunner();
};

// Adds an on-link host route for `destination` (a dotted IPv4 address) through the interface
// that holds the address of `hostName` ("localhost" at start-up): the host name is resolved, its
// official name read as the gateway address (through the host database again when it starts
// with a letter, as a dotted address otherwise), and "ip route replace DESTINATION/32 dev IFACE"
// is run. A gateway on a loopback interface stands for the machine itself, so the first
// interface that is up with a non-loopback IPv4 address is taken instead.
//
// Nothing is run when the program may not change routes, the name or the gateway cannot be
// resolved, no interface fits or the destination is not a dotted address; all of that returns
// false without a word. True when the command could be started; when it could not, one line
// goes to standard output.
bool AddHostRoute(const char* hostName, const char* destination, const CommandRunner& run = SystemCommandRunner());
bool AddHostRoute(const char* hostName, const char* destination, const HostRouteSystem& system);

// The command line AddHostRoute runs.
[[nodiscard]] std::vector<std::string> HostRouteCommand(const std::string& destination,
                                                        const std::string& interfaceName);

// Whether the "No route?" hint belongs at the end of a search: no adapter answered at the
// factory address, the search included it, the program could not add the route for it and the
// user has not silenced the hint for this run.
[[nodiscard]] bool ShouldShowNoRoute(bool defaultAddressFound, bool scanDefaultAddress, bool isAdministrator,
                                     bool suppressNoRoute);
