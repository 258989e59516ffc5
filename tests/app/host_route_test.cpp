#include "app/host_route.h"

#include <csignal>
#include <map>
#include <pthread.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using Argv = std::vector<std::string>;

InterfaceAddress Entry(const char* name, std::uint32_t address, bool up = true, bool loopback = false)
{
    InterfaceAddress entry;
    entry.interfaceName = name;
    entry.ipv4 = true;
    entry.address = address;
    entry.up = up;
    entry.loopback = loopback;
    return entry;
}

// A machine made of a host table and interface list; records every command instead of running it.
struct FakeMachine
{
    std::map<std::string, ResolvedHost> hosts;
    std::vector<InterfaceAddress> interfaces{Entry("lo", 0x7F000001u, true, true),
                                             Entry("eth0", 0xC0A80105u)}; // 192.168.1.5
    bool administrator = true;
    int exitStatus = 0;
    std::vector<Argv> commands;
    std::vector<std::string> lookups;

    HostRouteSystem System()
    {
        HostRouteSystem system;
        system.resolve = [this](const std::string& name) -> std::optional<ResolvedHost> {
            lookups.push_back(name);
            const auto it = hosts.find(name);
            return it == hosts.end() ? std::nullopt : std::optional(it->second);
        };
        system.interfaces = [this] { return interfaces; };
        system.mayChangeRoutes = [this] { return administrator; };
        system.run = [this](const Argv& argv) {
            commands.push_back(argv);
            return exitStatus;
        };
        return system;
    }
};

TEST(HostRouteTest, RoutesThroughTheInterfaceHoldingTheGatewayOfTheOfficialName)
{
    FakeMachine machine;
    machine.hosts["gateway"] = {"workstation.example", 0x7F000001u};
    machine.hosts["workstation.example"] = {"workstation.example", 0xC0A80105u};
    EXPECT_TRUE(AddHostRoute("gateway", "10.10.10.10", machine.System()));
    ASSERT_EQ(machine.commands.size(), 1u);
    EXPECT_EQ(machine.commands[0], (Argv{"ip", "route", "replace", "10.10.10.10/32", "dev", "eth0"}));
    EXPECT_EQ(machine.lookups, (std::vector<std::string>{"gateway", "workstation.example"}));

    // A command that starts but fails is not noticed, as with a missing right.
    machine.exitStatus = 2;
    EXPECT_TRUE(AddHostRoute("gateway", "10.10.10.10", machine.System()));
}

TEST(HostRouteTest, OfficialNameStartingWithADigitIsReadAsAnAddress)
{
    FakeMachine machine;
    machine.hosts["gateway"] = {"192.168.1.5", 0};
    EXPECT_TRUE(AddHostRoute("gateway", "10.10.10.10", machine.System()));
    ASSERT_EQ(machine.commands.size(), 1u);
    EXPECT_EQ(machine.commands[0].back(), "eth0");
    EXPECT_EQ(machine.lookups.size(), 1u);

    machine.hosts["gateway"] = {"3com-router", 0};
    machine.commands.clear();
    EXPECT_FALSE(AddHostRoute("gateway", "10.10.10.10", machine.System()));
    EXPECT_TRUE(machine.commands.empty());
}

TEST(HostRouteTest, LoopbackGatewayStandsForTheMachinesFirstWorkingInterface)
{
    FakeMachine machine;
    machine.hosts["localhost"] = {"localhost", 0x7F000001u};
    machine.interfaces = {Entry("lo", 0x7F000001u, true, true), Entry("docker0", 0xAC110001u, false),
                          Entry("wlan0", 0x0A010203u), Entry("eth1", 0xC0A80205u)};
    EXPECT_TRUE(AddHostRoute("localhost", "10.10.10.10", machine.System()));
    ASSERT_EQ(machine.commands.size(), 1u);
    EXPECT_EQ(machine.commands[0].back(), "wlan0");

    // Debian's own host name leads to 127.0.1.1, which no interface lists.
    machine.hosts["localhost"] = {"127.0.1.1", 0};
    EXPECT_TRUE(AddHostRoute("localhost", "10.10.10.10", machine.System()));
    EXPECT_EQ(machine.commands.back().back(), "wlan0");

    // Only loopback: a route through it would cut the address off, so none is added.
    machine.interfaces = {Entry("lo", 0x7F000001u, true, true)};
    machine.commands.clear();
    EXPECT_FALSE(AddHostRoute("localhost", "10.10.10.10", machine.System()));
    EXPECT_TRUE(machine.commands.empty());
}

TEST(HostRouteTest, NothingRunsWithoutTheRightOrAResolvableGateway)
{
    FakeMachine machine;
    machine.hosts["localhost"] = {"workstation", 0x7F000001u};
    machine.hosts["workstation"] = {"workstation", 0xC0A80105u};

    machine.administrator = false;
    EXPECT_FALSE(AddHostRoute("localhost", "10.10.10.10", machine.System()));
    machine.administrator = true;

    EXPECT_FALSE(AddHostRoute("unknown", "10.10.10.10", machine.System()));
    machine.hosts["lost"] = {"nowhere", 0x01020304u}; // the official name does not resolve
    EXPECT_FALSE(AddHostRoute("lost", "10.10.10.10", machine.System()));
    machine.hosts["elsewhere"] = {"10.9.8.7", 0}; // no interface holds the gateway
    EXPECT_FALSE(AddHostRoute("elsewhere", "10.10.10.10", machine.System()));

    // The destination goes onto a command line: nothing but a dotted address is taken.
    for (const char* destination : {"10.10.10.10/8", "10.10.10.10 table 5", "", "default", "10.10.10"})
        EXPECT_FALSE(AddHostRoute("localhost", destination, machine.System())) << destination;
    EXPECT_FALSE(AddHostRoute(nullptr, "10.10.10.10", machine.System()));
    EXPECT_FALSE(AddHostRoute("localhost", nullptr, machine.System()));
    EXPECT_TRUE(machine.commands.empty());
}

TEST(HostRouteTest, ACommandThatCannotStartIsReportedOnStandardOutput)
{
    FakeMachine machine;
    machine.hosts["localhost"] = {"192.168.1.5", 0};
    machine.exitStatus = -1;
    testing::internal::CaptureStdout();
    const bool added = AddHostRoute("localhost", "10.10.10.10", machine.System());
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(added);
    EXPECT_EQ(output, "ip failed with <-1>\n");
}

TEST(CommandRunnerTest, GivesTheExitStatusOrMinusOne)
{
    const CommandRunner run = SystemCommandRunner();
    EXPECT_EQ(run({"true"}), 0);
    EXPECT_EQ(run({"sh", "-c", "exit 7"}), 7);
    EXPECT_EQ(run({"/nonexistent/trawlix-no-such-command"}), -1);
    EXPECT_EQ(run({}), -1);
    // No shell between the caller and the command.
    EXPECT_EQ(run({"true; exit 3"}), -1);

    // Signals the program blocks for itself stay open to the command.
    sigset_t term;
    sigset_t previous;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &term, &previous), 0);
    const int status = run({"sh", "-c", "kill -TERM $$; exit 0"});
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    EXPECT_EQ(status, 128 + SIGTERM);
}

// Child side of the namespace test: exit status 0 when it went as expected, 77 when the machine
// offers no private network namespace.
int AddRouteInPrivateNetwork()
{
    if (unshare(CLONE_NEWNET) != 0)
        return 77;
    const CommandRunner run = SystemCommandRunner();
    if (run({"ip", "link", "set", "lo", "up"}) != 0)
        return 77;
    // Only loopback: nothing to route through.
    if (AddHostRoute("localhost", "10.10.10.10"))
        return 10;
    if (run({"ip", "link", "add", "trx0", "type", "veth", "peer", "name", "trx1"}) != 0)
        return 77;
    if (run({"ip", "addr", "add", "192.0.2.5/24", "dev", "trx0"}) != 0 ||
        run({"ip", "link", "set", "trx0", "up"}) != 0 || run({"ip", "link", "set", "trx1", "up"}) != 0)
        return 11;
    if (!AddHostRoute("localhost", "10.10.10.10"))
        return 12;
    if (run({"sh", "-c", "ip -4 route show exact 10.10.10.10/32 | grep -q 'dev trx0'"}) != 0)
        return 13;
    // Again, as at every start: the route is replaced, not refused.
    if (!AddHostRoute("192.0.2.5", "10.10.10.10"))
        return 14;
    return run({"sh", "-c", "test $(ip -4 route show exact 10.10.10.10/32 | wc -l) -eq 1"}) == 0 ? 0 : 15;
}

TEST(HostRouteTest, AddsTheRouteInsideAPrivateNetwork)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(AddRouteInPrivateNetwork());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no private network namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
