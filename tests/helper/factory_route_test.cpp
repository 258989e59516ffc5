// trawlix-factory-route, the program that runs as root, with hostile and honest arguments, inside a
// network namespace of the test's own.
#include "net/route_netlink.h"
#include "testsupport/child_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

constexpr std::uint32_t kFactoryAddress = 0x0A0A0A0Au;

struct HelperRun
{
    int status = -1;
    std::string output;
    std::string errors;
};

HelperRun Helper(const std::vector<std::string>& args, const std::string& asUser = {})
{
    std::vector<std::string> argv = args;
    std::string program = TRAWLIX_FACTORY_ROUTE_PATH;
    if (!asUser.empty()) {
        argv.insert(argv.begin(), {"--reuid=" + asUser, "--regid=" + asUser, "--clear-groups", program});
        program = "/usr/bin/setpriv";
    }
    ChildProcess child(program, argv);
    EXPECT_TRUE(child.Wait(30s));
    return {child.ExitCode(), child.Output(), child.Errors()};
}

bool RouteToFactoryAddress()
{
    return net::LookupRoute(kFactoryAddress).kind != net::RouteLookup::Kind::None;
}

class FactoryRouteHelper : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(std::system("ip link add trxa type veth peer name trxb && ip link add trxd type veth peer name trxe"),
                  0);
    }
};

TEST_F(FactoryRouteHelper, RefusesEverythingButOneExistingInterface)
{
    struct Case
    {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{}, 2, "no interface named"},
        {{"trxa", "trxb"}, 2, "exactly one argument"},
        {{"10.10.10.11", "trxa"}, 2, "exactly one argument"},
        {{"--", "trxa"}, 2, "exactly one argument"},
        {{"trxa", "--replace"}, 2, "exactly one argument"},
        // Options and everything that could pass for one.
        {{"--help"}, 2, "options are not taken"},
        {{"-h"}, 2, "options are not taken"},
        {{"--interface=trxa"}, 2, "options are not taken"},
        {{"-"}, 2, "options are not taken"},
        // Addresses, paths and names no interface has.
        {{"10.0.0.0/8"}, 2, "not an interface name"},
        {{"default"}, 4, "there is no network interface default"},
        {{"10.10.10.11"}, 4, "there is no network interface 10.10.10.11"},
        {{""}, 2, "not an interface name"},
        {{"."}, 2, "not an interface name"},
        {{".."}, 2, "not an interface name"},
        {{"../../etc/passwd"}, 2, "not an interface name"},
        {{"trxa/../lo"}, 2, "not an interface name"},
        {{"trxa dev lo"}, 2, "not an interface name"},
        {{"trxa;reboot"}, 2, "not an interface name"},
        {{"trxa\n"}, 2, "not an interface name"},
        {{"tr\x1b[2Jxa"}, 2, "not an interface name"},
        {{"tr\xc3\xa4xa"}, 2, "not an interface name"},
        {{std::string(16, 'a')}, 2, "not an interface name"},
        {{std::string(100000, 'a')}, 2, "not an interface name"},
        {{std::string(15, 'a')}, 4, "there is no network interface aaaaaaaaaaaaaaa"},
        {{"nosuch0"}, 4, "there is no network interface nosuch0"},
        {{"TRXA"}, 4, "there is no network interface TRXA"},
        {{"lo"}, 2, "the loopback interface"},
        // Exists, but is down.
        {{"trxd"}, 5, "the network interface trxd is down"},
    };
    for (const Case& c : cases) {
        const HelperRun run = Helper(c.args);
        const std::string what = ::testing::PrintToString(c.args).substr(0, 80);
        EXPECT_EQ(run.status, c.status) << what;
        EXPECT_NE(run.errors.find(std::string("trawlix-factory-route: ") + c.says), std::string::npos)
            << what << ": " << run.errors;
        // A refused name is never echoed: it may carry terminal controls, or go on for pages.
        EXPECT_LT(run.errors.size(), 1000u) << what;
        EXPECT_TRUE(std::all_of(run.errors.begin(), run.errors.end(), [](char ch) {
            return ch == '\n' || (ch >= ' ' && ch <= '~');
        })) << what;
        EXPECT_EQ(run.output, "") << what;
    }
    EXPECT_FALSE(RouteToFactoryAddress());
}

TEST_F(FactoryRouteHelper, AddsTheRouteOnceThroughAnInterfaceThatIsUp)
{
    ASSERT_EQ(std::system("ip link set trxa up && ip link set trxb up"), 0);
    // Without the right, as the user who started it, the kernel refuses.
    HelperRun run = Helper({"trxa"}, "65534");
    EXPECT_EQ(run.status, 6);
    EXPECT_NE(run.errors.find("not permitted"), std::string::npos) << run.errors;
    EXPECT_FALSE(RouteToFactoryAddress());

    run = Helper({"trxa"});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.output, "trawlix-factory-route: route to 10.10.10.10 added through trxa\n");
    const net::RouteLookup route = net::LookupRoute(kFactoryAddress);
    EXPECT_EQ(route.kind, net::RouteLookup::Kind::OnLink);
    EXPECT_EQ(std::system("ip -4 route show exact 10.10.10.10/32 | grep -qx '10.10.10.10 dev trxa scope link '"), 0);

    // Again, or through another interface: the route in place stays as it is.
    run = Helper({"trxa"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.output, "trawlix-factory-route: a route to 10.10.10.10 is present already\n");
    EXPECT_EQ(Helper({"trxb"}).status, 3);
    EXPECT_EQ(net::LookupRoute(kFactoryAddress).interfaceIndex, route.interfaceIndex);
    EXPECT_EQ(std::system("ip route del 10.10.10.10/32"), 0);
}

} // namespace
