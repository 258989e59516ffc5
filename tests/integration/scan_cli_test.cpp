// trawlix-scan and the probe job as a technician meets them, in a network and mount namespace of
// the test's own whose only name server is a recorder on 127.0.0.1: addresses that are no IPv4
// literal are neither looked up nor contacted, and the program ends with the documented status
// after interrupts, write errors and inventory comparisons.
#include "app/app_settings.h"
#include "probe/job_probes.h"
#include "resources/string_table.h"
#include "scan/scan_lock.h"
#include "scan/search.h"
#include "testsupport/child_process.h"
#include "testsupport/dns_recorder.h"
#include "testsupport/private_network.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <netdb.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

testsupport::DnsRecorder* g_dns = nullptr;

// Short forms of the adapters' addresses (10.55.7, 0x0a.55.0.7, 10.55.0.07) would reach them if
// anything read them as addresses the way inet_aton or URL parsers do.
constexpr const char* kNetwork = R"(
legacy 10.55.0.7 plain hardware=LX300|firmware=LX200 v 4.26.16|mac=00:00:00:00:00:07|manufacturer=Voltara|location=Rack 7
lx400 10.55.0.8 http name=LX400|version=V1.78.12|manufacturer=Voltara|location=Rack 8|mac=00:00:00:00:00:08
host 10.57.0.1 silent
vendor 10.99.0.1
latest LX300 16 4.30
)";

testsupport::TempFolder* g_folder = nullptr;
std::string g_requestLog;

// Lines of the simulator's request log ("ADDRESS METHOD TARGET STATUS").
std::vector<std::string> Requests()
{
    std::vector<std::string> lines;
    std::istringstream in(testsupport::TempFolder::ReadFile(g_requestLog));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class ScanProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dnsBefore_ = g_dns->Queries();
        requestsBefore_ = Requests();
    }

    // Neither a name lookup nor a request since the test began.
    void ExpectNoTraffic(const std::string& what) const
    {
        EXPECT_EQ(g_dns->Queries(), dnsBefore_) << what;
        EXPECT_EQ(Requests(), requestsBefore_) << what;
    }

    std::vector<std::string> dnsBefore_;
    std::vector<std::string> requestsBefore_;
};

// The window's side of a core search: counts what arrives until the end record.
struct Collector
{
    void Take(const DeviceRecord& record)
    {
        std::lock_guard lock(mutex);
        ended = ended || record.endOfSearch;
        delivered += record.endOfSearch ? 0 : 1;
        found += record.found ? 1 : 0;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    int delivered = 0;
    int found = 0;
    bool ended = false;
};

// Runs a search of `plan` into `window` until its end.
void RunSearch(Collector& window, const scan::SearchPlan& plan)
{
    scan::Search search([&window](const DeviceRecord& record) { window.Take(record); });
    ASSERT_TRUE(search.Start(plan));
    std::unique_lock lock(window.mutex);
    ASSERT_TRUE(window.changed.wait_for(lock, 120s, [&] { return window.ended; }));
    lock.unlock();
    search.Stop();
}

ChildProcess* RunScan(const std::vector<std::string>& args)
{
    auto* child = new ChildProcess(TRAWLIX_SCAN_PATH, args);
    EXPECT_TRUE(child->Wait(120s));
    return child;
}

std::size_t LineCount(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST_F(ScanProgram, TheRecorderSeesALookupMadeHere)
{
    addrinfo* result = nullptr;
    EXPECT_NE(::getaddrinfo("control.example", "80", nullptr, &result), 0);
    if (result != nullptr)
        ::freeaddrinfo(result);
    const auto queries = g_dns->Queries();
    EXPECT_NE(std::find(queries.begin(), queries.end(), "control.example"), queries.end());
}

// The window searches the subnet of trawlix.ini as the file gives it; a hand-edited value that
// is no network leaves the range without addresses, so nothing is looked up or contacted.
TEST_F(ScanProgram, HandEditedSubnetsAreNeitherLookedUpNorContacted)
{
    trawlix::SetLanguage(trawlix::Language::English);
    const char* const subnets[] = {"adapter.example.*", "10.55.*",     "0x0a.55.0.*",
                                   "10.55.0.07.*",      "010.055.0.*", "300.55.0.*",
                                   "1.2.3.4.*",         "10.55.0 .*",  ""};
    for (const char* subnet : subnets) {
        const auto ini = g_folder->WriteFile("trawlix.ini", std::string("[settings]\nselsubnet=") + subnet +
                                                                "\nscansubnet=1\nscan10=0\nsubnetrange=7;8\n");
        AppSettings app;
        app.Load(ini.string());
        ASSERT_EQ(app.subnet, subnet);
        ScanSettings settings;
        CopyToWindow(app, settings, [] { return std::vector<InterfaceAddress>{}; });
        scan::SearchPlan plan = SearchPlanOf(settings);
        plan.probes = MakeJobProbes(ProbeConfig{"10.99.0.1"});
        EXPECT_EQ(scan::AddressCount(plan), 0u) << subnet;
        Collector window;
        ASSERT_NO_FATAL_FAILURE(RunSearch(window, plan)) << subnet;
        EXPECT_EQ(window.delivered, 0) << subnet;
    }
    ExpectNoTraffic("hand-edited subnets");

    // The same file with a subnet that is one searches hosts 7 and 8 of it.
    const auto ini = g_folder->WriteFile("trawlix.ini",
                                         "[settings]\nselsubnet=10.55.0.*\nscansubnet=1\nscan10=0\nsubnetrange=7;8\n");
    AppSettings app;
    app.Load(ini.string());
    ScanSettings settings;
    CopyToWindow(app, settings, [] { return std::vector<InterfaceAddress>{}; });
    scan::SearchPlan plan = SearchPlanOf(settings);
    plan.login.useHttps = false;
    plan.probes = MakeJobProbes(ProbeConfig{"10.99.0.1"});
    Collector window;
    ASSERT_NO_FATAL_FAILURE(RunSearch(window, plan));
    EXPECT_EQ(window.delivered, 2);
    EXPECT_EQ(window.found, 2);
}

// Nothing can answer at the factory address without a route to it: --explain says so, with the
// command that adds one through the wired interface that has a link, and only then.
TEST_F(ScanProgram, ExplainNamesAMissingRouteToTheFactoryAddressWithTheCommand)
{
    auto explain = [](const char* format) {
        const std::unique_ptr<ChildProcess> scan(
            RunScan({"--no-range", "--explain", "--no-progress", "--format", format, "--update-server", "10.99.0.1"}));
        EXPECT_EQ(scan->ExitCode(), 0) << scan->Errors();
        return scan->Errors();
    };
    // Loopback only: no route, and no cable to put one on.
    EXPECT_EQ(explain("table"), "10.10.10.10: no route to the factory address, and no wired interface has a link: "
                                "plug the adapter in, then add the route as root with: "
                                "ip route add 10.10.10.10/32 dev INTERFACE\n"
                                "0 addresses did not answer at all\n");
    // A cable with a link (its peer a port of a bridge that stays down, so only trxc0 fits).
    ASSERT_EQ(std::system("ip link add trxc0 type veth peer name trxc1 && ip link add trxcbr type bridge && "
                          "ip link set trxc1 master trxcbr && ip link set trxc1 up && ip link set trxc0 up"),
              0);
    EXPECT_EQ(explain("json"),
              "[\n  {\"ip\": \"10.10.10.10\", \"reason\": \"no-route\", \"detail\": \"no route to the factory "
              "address; add one through the interface the adapter is plugged into, as root: ip route add "
              "10.10.10.10/32 dev trxc0\"}\n]\n");
    // With the route, an address that stays silent is just that.
    ASSERT_EQ(std::system("ip route add 10.10.10.10/32 dev trxc0"), 0);
    EXPECT_EQ(explain("table"), "1 address did not answer at all\n");
    EXPECT_EQ(std::system("ip link del trxc0 && ip link del trxcbr"), 0);
    ExpectNoTraffic("the factory address");
}

TEST_F(ScanProgram, WrongSubnetArgumentsExitTwoBeforeAnyTraffic)
{
    const std::vector<std::vector<std::string>> wrong = {
        {"300.1.1.*"},
        {"abc"},
        {"1.2.3.4.5"},
        {"192.168.1"},
        {""},
        {"--first", "7", "--last", "8", "10.55.7"},
        {"0x0a.55.0.*"},
        {"10.055.0.*"},
        {"--", "adapter.example.*"},
        {"10.55.0.*", "adapter.example"},
        {"10.55.0.0/8"},
        {"10.55.0.7/24"},
        {"--first", "9", "10.55.0.*", "10.55.0.0/29"},
        {"--no-range", "--no-default-address"},
        {"--compare", "/nonexistent.json", "10.55.0.*"},
    };
    for (const auto& args : wrong) {
        const std::unique_ptr<ChildProcess> scan(RunScan(args));
        EXPECT_EQ(scan->ExitCode(), 2) << ::testing::PrintToString(args);
        EXPECT_EQ(LineCount(scan->Errors()), 1u) << scan->Errors();
        EXPECT_EQ(scan->Output(), "");
    }
    ExpectNoTraffic("wrong arguments");
}

// A monitoring job: the first search is the inventory, later ones compare with it.
TEST_F(ScanProgram, CompareExitsThreeOnChangeAndZeroWithout)
{
    auto search = [](std::vector<std::string> extra) {
        std::vector<std::string> args = {"--lang",          "en",        "--http",   "--no-default-address",
                                         "--first",         "7",         "--last",   "8",
                                         "--update-server", "10.99.0.1", "--format", "json"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("10.55.0.*");
        return std::unique_ptr<ChildProcess>(RunScan(args));
    };
    const auto first = search({});
    ASSERT_EQ(first->ExitCode(), 0) << first->Errors();
    EXPECT_EQ(g_dns->Queries(), dnsBefore_); // a whole search without a single lookup
    const auto same = g_folder->WriteFile("same.json", first->Output());
    EXPECT_EQ(search({"--compare", same.string()})->ExitCode(), 0);

    // A month ago the legacy adapter ran older firmware.
    std::string earlier = first->Output();
    earlier.replace(earlier.find("\"4.26\""), 6, "\"4.10\"");
    const auto changed = search({"--compare", g_folder->WriteFile("old.json", earlier).string()});
    EXPECT_EQ(changed->ExitCode(), 3) << changed->Errors();
    EXPECT_NE(changed->Output().find("\"ip\": \"10.55.0.7\", \"fields\": {\"firmware\": [\"4.10\", \"4.26\"]}"),
              std::string::npos)
        << changed->Output();

    // A file that is no such result: one line, status 2, and no search.
    const auto requests = Requests();
    const auto wrong = search({"--compare", g_folder->WriteFile("list.csv", "model,firmware\n").string()});
    EXPECT_EQ(wrong->ExitCode(), 2);
    EXPECT_EQ(LineCount(wrong->Errors()), 1u) << wrong->Errors();
    EXPECT_EQ(Requests(), requests);
}

TEST_F(ScanProgram, SigtermEndsTheSearchWithStatus143)
{
    ChildProcess scan(TRAWLIX_SCAN_PATH, {"--lang", "en", "--no-default-address", "--first", "1", "--last", "1",
                                          "--no-progress", "--update-server", "10.99.0.1", "10.57.0.*"});
    ASSERT_TRUE(scan.Started());
    // The silent host holds the search; the signal goes out once the program takes it.
    ASSERT_TRUE(scan.WaitUntilCatching(SIGTERM, 10s));
    scan.Signal(SIGTERM);
    ASSERT_TRUE(scan.Wait(60s)) << "the search did not stop";
    EXPECT_EQ(scan.ExitCode(), 143);
    EXPECT_EQ(scan.Output(), "No device found\n");
}

// Runs trawlix-scan with its standard output on a pipe whose reader has gone; the exit status,
// and the standard error in `errors`.
int RunWithClosedPipe(const std::vector<std::string>& args, std::string* errors)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    ::close(fds[0]);
    const std::string errPath = (std::filesystem::temp_directory_path() / "trawlix-closed-pipe.err").string();
    std::vector<std::string> store{TRAWLIX_SCAN_PATH};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : store)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, TRAWLIX_SCAN_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    *errors = testsupport::TempFolder::ReadFile(errPath);
    ::unlink(errPath.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(ScanProgram, WriteErrorsEndWithStatusOne)
{
    const std::vector<std::string> args = {"--lang",          "en",        "--http",   "--no-default-address",
                                           "--first",         "7",         "--last",   "8",
                                           "--update-server", "10.99.0.1", "10.55.0.*"};
    // A full disk: one line that says so.
    std::vector<std::string> full = {"-c", "exec \"$0\" \"$@\" >/dev/full", TRAWLIX_SCAN_PATH};
    full.insert(full.end(), args.begin(), args.end());
    ChildProcess toFullDisk("/bin/sh", full);
    ASSERT_TRUE(toFullDisk.Wait(120s));
    EXPECT_EQ(toFullDisk.ExitCode(), 1);
    EXPECT_EQ(toFullDisk.Errors(), "trawlix-scan: cannot write the output: No space left on device\n");

    // A reader that went away (`trawlix-scan ... | head -1` after its line): status 1, quietly.
    std::string errors;
    EXPECT_EQ(RunWithClosedPipe(args, &errors), 1);
    EXPECT_EQ(errors, "");
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!testsupport::EnterPrivateNetworkOrSaySkipped())
        return testsupport::kSkippedExitCode;
    std::string reason;
    if (!testsupport::UseLoopbackResolver(&reason)) {
        std::fprintf(stderr, "skipped: %s\n", reason.c_str());
        return testsupport::kSkippedExitCode;
    }
    testsupport::DnsRecorder dns;
    if (!dns.Start(&reason)) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 1;
    }
    g_dns = &dns;
    testsupport::TempFolder folder;
    g_folder = &folder;
    g_requestLog = (folder.Path() / "requests.log").string();
    std::string failed;
    if (!testsupport::AddNetworkAddresses(kNetwork, &failed)) {
        std::fprintf(stderr, "cannot add %s\n", failed.c_str());
        return 1;
    }
    ChildProcess sim(TRAWLIX_SIM_PATH, {folder.WriteFile("test.net", kNetwork).string(), "--log", g_requestLog});
    if (!sim.WaitForOutput("ready", 30s)) {
        std::fprintf(stderr, "%s\n", sim.Errors().c_str());
        return 1;
    }
    return RUN_ALL_TESTS();
}
