// trawlix-scan as a site's monitoring runs it, against the simulator in a network namespace of
// the test's own: the monitoring plugin's four statuses with their performance data, networks
// left out that get no packet at all (a tun device that counts what reaches it), and the output
// file of a search that did not run to its end.
#include "testsupport/child_process.h"
#include "testsupport/packet_counter.h"
#include "testsupport/private_network.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <thread>

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::TempFolder;

// Two adapters with current firmware, one with an update on offer, a host that never answers.
constexpr const char* kNetwork = R"(
legacy 10.63.0.1 plain hardware=LX300|firmware=LX200 v 4.30.16|mac=00:0A:9C:63:00:01|manufacturer=Voltara|location=A1
legacy 10.63.0.2 plain hardware=LX300 16MB|firmware=LX200 v 4.30.16|mac=00:0A:9C:63:00:02|manufacturer=Voltara|location=A2
legacy 10.64.0.1 plain hardware=LX300 16MB|firmware=LX200 v 4.26.16|mac=00:0A:9C:64:00:01|manufacturer=Voltara|location=B1
host 10.65.0.1 silent
vendor 10.99.0.1
latest 7 16 4.30
latest 17 16 4.30
)";

TempFolder* g_folder = nullptr;
std::string g_requestLog;

// How many update questions the simulator's vendor has answered.
int VendorAnswers()
{
    const std::string log = TempFolder::ReadFile(g_requestLog);
    int count = 0;
    for (std::size_t at = log.find("kvt_update"); at != std::string::npos; at = log.find("kvt_update", at + 1))
        ++count;
    return count;
}

struct ScanRun
{
    int status = -1;
    std::string output;
    std::string errors;
};

// trawlix-scan with the site's usual options before `args`, to its end.
ScanRun Scan(std::vector<std::string> args)
{
    args.insert(args.begin(),
                {"--lang", "en", "--no-progress", "--no-default-address", "--update-server", "10.99.0.1"});
    ChildProcess scan(TRAWLIX_SCAN_PATH, args);
    EXPECT_TRUE(scan.Wait(120s));
    return {scan.ExitCode(), scan.Output(), scan.Errors()};
}

// trawlix-scan held by the silent host, stopped by SIGTERM once it has found the adapter at
// 10.63.0.1 (its vendor question answered).
ScanRun Interrupted(std::vector<std::string> args)
{
    args.insert(args.begin(), {"--lang", "en", "--no-progress", "--no-default-address", "--update-server", "10.99.0.1",
                               "--last", "1", "10.63.0.*", "10.65.0.*"});
    const int answered = VendorAnswers();
    ChildProcess scan(TRAWLIX_SCAN_PATH, args);
    EXPECT_TRUE(scan.WaitUntilCatching(SIGTERM, 10s));
    for (int i = 0; i < 500 && VendorAnswers() == answered; ++i)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(100ms);
    scan.Signal(SIGTERM);
    EXPECT_TRUE(scan.Wait(60s));
    return {scan.ExitCode(), scan.Output(), scan.Errors()};
}

// The status line with the measured time in place of its figure.
std::string WithoutTime(const std::string& line)
{
    return std::regex_replace(line, std::regex("time=[0-9]+\\.[0-9]{3}s;;;0\n$"), "time=Ts;;;0\n");
}

TEST(SiteSearch, CheckGivesEachStatusWithPerformanceData)
{
    const ScanRun ok = Scan({"--check", "--last", "2", "10.63.0.*"});
    EXPECT_EQ(ok.status, 0) << ok.errors;
    EXPECT_EQ(WithoutTime(ok.output), "TRAWLIX OK: 2 adapters on 2 addresses, no firmware update available | "
                                      "adapters=2;;;0 updates=0;0;;0 refused=0;;;0 time=Ts;;;0\n");
    EXPECT_EQ(ok.errors, "");

    const ScanRun update = Scan({"--check", "--last", "2", "10.63.0.*", "10.64.0.0/30"});
    EXPECT_EQ(update.status, 1) << update.errors;
    EXPECT_EQ(WithoutTime(update.output), "TRAWLIX WARNING: 3 adapters on 4 addresses, 1 firmware update available | "
                                          "adapters=3;;;0 updates=1;0;;0 refused=0;;;0 time=Ts;;;0\n");

    // Against the inventory: the same adapters, one with other firmware, one gone and one new.
    const std::string inventory = (g_folder->Path() / "inventory.json").string();
    const ScanRun first = Scan({"--format", "json", "--output", inventory, "--last", "2", "10.63.0.*"});
    ASSERT_EQ(first.status, 0) << first.errors;
    EXPECT_EQ(first.output, "");
    const std::string list = TempFolder::ReadFile(inventory);
    const ScanRun same = Scan({"--check", "--compare", inventory, "--last", "2", "10.63.0.*"});
    EXPECT_EQ(same.status, 0) << same.errors;
    EXPECT_EQ(WithoutTime(same.output),
              "TRAWLIX OK: 2 adapters on 2 addresses, no change since the inventory, no firmware update available | "
              "adapters=2;;;0 updates=0;0;;0 refused=0;;;0 new=0;0;;0 gone=0;;0;0 changed=0;0;;0 time=Ts;;;0\n");

    std::string older = list;
    older.replace(older.find("\"4.30\""), 6, "\"4.28\"");
    const ScanRun changed =
        Scan({"--check", "--compare", g_folder->WriteFile("older.json", older).string(), "--last", "2", "10.63.0.*"});
    EXPECT_EQ(changed.status, 1) << changed.errors;
    EXPECT_EQ(WithoutTime(changed.output),
              "TRAWLIX WARNING: 2 adapters on 2 addresses, 1 adapter changed | adapters=2;;;0 updates=0;0;;0 "
              "refused=0;;;0 new=0;0;;0 gone=0;;0;0 changed=1;0;;0 time=Ts;;;0\n");

    std::string swapped = list;
    swapped.replace(swapped.find("00:0A:9C:63:00:02"), 17, "00:0A:9C:63:00:03");
    const std::string other = g_folder->WriteFile("other.json", swapped).string();
    const ScanRun gone = Scan({"--check", "--compare", other, "--last", "2", "10.63.0.*"});
    EXPECT_EQ(gone.status, 2) << gone.errors;
    EXPECT_EQ(WithoutTime(gone.output),
              "TRAWLIX CRITICAL: 2 adapters on 2 addresses, 1 adapter gone, 1 new adapter | adapters=2;;;0 "
              "updates=0;0;;0 refused=0;;;0 new=1;0;;0 gone=1;;0;0 changed=0;0;;0 time=Ts;;;0\n");
    // An adapter at an address left out was not looked for: it is not gone.
    const ScanRun excluded =
        Scan({"--check", "--compare", other, "--exclude", "10.63.0.2/32", "--last", "2", "10.63.0.*"});
    EXPECT_EQ(excluded.status, 0) << excluded.output;

    // Whatever keeps the search from its end is UNKNOWN, on one line without performance data.
    const std::pair<ScanRun, std::string> unknown[] = {
        {Scan({"--check", "--jobs", "0", "10.63.0.*"}), "TRAWLIX UNKNOWN: --jobs must be a number from 1 to 255\n"},
        {Scan({"--check", "--compare", "/nonexistent/inventory.json", "10.63.0.*"}),
         "TRAWLIX UNKNOWN: cannot read /nonexistent/inventory.json: No such file or directory\n"},
        {Scan({"--check", "--output", "/nonexistent/trawlix.json", "--last", "2", "10.63.0.*"}),
         "TRAWLIX UNKNOWN: cannot write /nonexistent/trawlix.json: No such file or directory\n"},
        {Interrupted({"--check"}), "TRAWLIX UNKNOWN: the search was interrupted after 1 adapter had been found\n"},
    };
    for (const auto& [run, line] : unknown) {
        EXPECT_EQ(run.status, 3) << run.output << run.errors;
        EXPECT_EQ(run.output, line);
        EXPECT_EQ(run.errors, "");
    }
}

TEST(SiteSearch, AnInterruptedSearchLeavesTheOutputFileAsItWas)
{
    const std::string file = (g_folder->Path() / "adapters.csv").string();
    const ScanRun done = Scan({"--format", "csv", "--output", file, "--last", "2", "10.63.0.*"});
    ASSERT_EQ(done.status, 0) << done.errors;
    const std::string before = TempFolder::ReadFile(file);
    EXPECT_EQ(std::count(before.begin(), before.end(), '\n'), 3) << before;

    const ScanRun stopped = Interrupted({"--format", "csv", "--output", file});
    EXPECT_EQ(stopped.status, 143);
    EXPECT_EQ(stopped.output, "");
    EXPECT_EQ(stopped.errors, "trawlix-scan: search interrupted, " + file + " left as it was\n");
    EXPECT_EQ(TempFolder::ReadFile(file), before);
}

// Networks left out, given as --exclude beside a networks file: no packet reaches them, neither
// the knock's nor a probe's, and the factory address is left out like any other.
TEST(SiteSearch, AnExcludedAddressGetsNoPacket)
{
    testsupport::PacketCounter wire("trxpc0");
    ASSERT_TRUE(wire.Ready());
    ASSERT_TRUE(wire.Route("10.66.0.0/29"));
    ASSERT_TRUE(wire.Route("10.10.10.10/32"));
    const std::string networks = g_folder->WriteFile("site.net", "# the site\n10.66.0.0/29\n").string();
    const std::map<std::string, int> none;
    for (const char* discovery : {"--explain", "--no-discovery"}) {
        const std::map<std::string, int> before = wire.Packets();
        ChildProcess scan(TRAWLIX_SCAN_PATH,
                          {"--no-progress", "--update-server", "10.99.0.1", "--networks-file", networks, "--exclude",
                           "10.66.0.4/31", "--exclude", "10.10.10.10/32", discovery});
        ASSERT_TRUE(scan.Wait(120s));
        EXPECT_EQ(scan.ExitCode(), 0) << scan.Errors();
        const std::map<std::string, int> after = wire.Packets();
        for (const char* address : {"10.66.0.1", "10.66.0.2", "10.66.0.3", "10.66.0.6"}) {
            const int packets = after.count(address) != 0 ? after.at(address) : 0;
            const int earlier = before.count(address) != 0 ? before.at(address) : 0;
            EXPECT_GT(packets, earlier) << address << " " << discovery;
        }
        for (const char* address : {"10.66.0.4", "10.66.0.5", "10.10.10.10"})
            EXPECT_EQ(after.count(address), 0u) << address << " " << discovery;
        if (std::string(discovery) == "--explain") {
            EXPECT_EQ(scan.Errors(), "5 addresses did not answer at all\n");
        }
    }
    // Not left out, the factory address is knocked on first.
    ChildProcess withFactory(TRAWLIX_SCAN_PATH,
                             {"--no-progress", "--update-server", "10.99.0.1", "--last", "1", "10.66.0.0/29"});
    ASSERT_TRUE(withFactory.Wait(120s));
    EXPECT_GT(wire.Packets()["10.10.10.10"], 0);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!testsupport::EnterPrivateNetworkOrSaySkipped())
        return testsupport::kSkippedExitCode;
    TempFolder folder;
    g_folder = &folder;
    std::string failed;
    if (!testsupport::AddNetworkAddresses(kNetwork, &failed)) {
        std::fprintf(stderr, "cannot add %s\n", failed.c_str());
        return 1;
    }
    g_requestLog = (folder.Path() / "requests.log").string();
    ChildProcess sim(TRAWLIX_SIM_PATH, {folder.WriteFile("site.net", kNetwork).string(), "--log", g_requestLog});
    if (!sim.WaitForOutput("ready", 30s)) {
        std::fprintf(stderr, "%s\n", sim.Errors().c_str());
        return 1;
    }
    return RUN_ALL_TESTS();
}
