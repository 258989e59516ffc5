#include "scan/scan_lock.h"
#include "scan/scan_thread.h"
#include "testsupport/fake_families.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

// The window side of a search: collects the records.
class TestWindow
{
public:
    static int OnResult(const DeviceRecord& record, void* context)
    {
        auto* window = static_cast<TestWindow*>(context);
        jwin::CJSmartLock hold(&scan::ScanLock());
        std::lock_guard lock(window->mutex);
        window->records.push_back(record);
        window->changed.notify_all();
        return 1;
    }

    // Waits until `count` records arrived.
    std::vector<DeviceRecord> WaitForRecords(std::size_t count)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return records.size() >= count; });
        return records;
    }

    // Waits for the end record.
    std::vector<DeviceRecord> WaitForEnd()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !records.empty() && records.back().endOfSearch; });
        return records;
    }

    std::vector<DeviceRecord> Records()
    {
        std::lock_guard lock(mutex);
        return records;
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<DeviceRecord> records;
};

// Controlled probes: count calls per address, measure how many run at once, and hold the first
// `holdCount` calls until `holdUntilRunning` probes run together, `holdUntilStarted` held calls
// began, or the job is stopped.
struct ProbeLab
{
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, int> calls;
    std::vector<std::string> order; // addresses in the order their probes began
    std::vector<ProbeTarget> targets;
    int running = 0;
    int maxRunning = 0;
    int held = 0;
    int holdCount = 0;
    int holdUntilRunning = 0;
    int holdUntilStarted = 0; // until that many held calls began, whether they still run or not
    bool holdUntilStopped = false;
    bool released = false;
    int stopped = 0; // probes whose job was stopped while they ran
    std::vector<std::string> apiCalls;
    std::vector<std::string> updateChecks; // "address compactVersion"
    std::map<std::string, std::vector<std::uint16_t>> deadPortsSeen;
    // A knock that judges every address at once with `judge`, in plan order; none when unset.
    std::function<KnockOutcome(const std::string& address)> judge;
    std::vector<std::string> knocked;
    bool knockedHttps = true;

    JobProbes Probes()
    {
        JobProbes probes;
        if (judge) {
            probes.knock = [this](const std::vector<Ipv4Address>& addresses, bool useHttps,
                                  const std::function<bool()>&, const KnockReport& report) {
                {
                    std::lock_guard lock(mutex);
                    knocked.clear();
                    for (const Ipv4Address address : addresses)
                        knocked.push_back(address.Text());
                    knockedHttps = useHttps;
                }
                for (std::size_t i = 0; i < addresses.size(); ++i)
                    report(i, judge(addresses[i].Text()));
            };
        }
        auto legacy = [this](const ProbeTarget& target, DeviceRecord& record) {
            std::unique_lock lock(mutex);
            const std::string address = target.address.Text();
            ++calls[address];
            order.push_back(address);
            targets.push_back(target);
            for (const DeadPort& dead : target.deadPorts)
                deadPortsSeen[address].push_back(dead.port);
            ++running;
            maxRunning = std::max(maxRunning, running);
            changed.notify_all();
            if (held < holdCount) {
                ++held;
                // The stop token has no notification, so a stopped job is noticed on a short tick.
                while (!released && !(holdUntilRunning > 0 && maxRunning >= holdUntilRunning) &&
                       !(holdUntilStarted > 0 && held >= holdUntilStarted) &&
                       !(holdUntilStopped && target.stop.StopRequested()))
                    changed.wait_for(lock, std::chrono::milliseconds(1));
            }
            stopped += target.stop.StopRequested() ? 1 : 0;
            --running;
            record.model = "legacy";
            return address.back() == '1'; // addresses ending in 1 are "legacy adapters"
        };
        auto api = [this](const ProbeTarget& target, DeviceRecord&) {
            std::lock_guard lock(mutex);
            apiCalls.push_back(target.address.Text());
            return false;
        };
        probes.families = testsupport::FakeFamilies(legacy, api);
        probes.updateCheck = [this](const ProbeTarget& target, DeviceRecord&, const std::string& compactVersion) {
            std::lock_guard lock(mutex);
            updateChecks.push_back(target.address.Text() + " " + compactVersion);
            return std::string("checked");
        };
        return probes;
    }

    void WaitForRunning(int count)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return running >= count; });
    }

    void Release()
    {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
};

std::set<std::string> Addresses(const std::vector<DeviceRecord>& records)
{
    std::set<std::string> out;
    for (const DeviceRecord& r : records)
        if (!r.endOfSearch)
            out.insert(r.ip);
    return out;
}

scan::Ipv4Network Net(const char* text)
{
    const auto network = scan::ParseNetwork(text);
    EXPECT_TRUE(network) << text;
    return network.value_or(scan::Ipv4Network{});
}

// The plan of a search of `networks` (hosts first to last in each /24), the factory address first
// when `factory` is set.
CScanThread::Plan MakePlan(std::vector<scan::Ipv4Network> networks, std::int32_t first, std::int32_t last, bool factory,
                           JobProbes probes)
{
    CScanThread::Plan plan;
    plan.addresses = scan::PlanAddresses(scan::NetworkList(std::move(networks), first, last), true, factory);
    plan.login = {"admin", "pw", false};
    plan.probes = std::move(probes);
    return plan;
}

// Runs a whole search and returns its records once the end record arrived.
std::vector<DeviceRecord> RunSearch(CScanThread& scan, TestWindow& window, std::size_t expected)
{
    EXPECT_TRUE(scan.Start(10000, true));
    auto records = window.WaitForRecords(expected);
    scan.Stop(jwin::kNoTimeLimit, true);
    return window.Records();
}

TEST(CScanThread, FullRangeWithDefaultProbesEveryAddressOnceAndNeverMoreThanTenAtOnce)
{
    TestWindow window;
    ProbeLab lab;
    lab.holdCount = 10;
    lab.holdUntilRunning = 10; // the first ten wait for each other: ten must run together
    CScanThread scan(&TestWindow::OnResult, &window);
    scan.SetPlan(MakePlan({Net("192.168.7.*")}, 1, 254, true, lab.Probes()));
    const auto records = RunSearch(scan, window, 256);

    ASSERT_EQ(records.size(), 256u);
    EXPECT_TRUE(records.back().endOfSearch);
    EXPECT_FALSE(records.back().found);
    std::set<std::string> expected{"10.10.10.10"};
    for (int h = 1; h <= 254; ++h)
        expected.insert("192.168.7." + std::to_string(h));
    EXPECT_EQ(Addresses(records), expected);
    for (const auto& [address, count] : lab.calls)
        EXPECT_EQ(count, 1) << address;
    EXPECT_EQ(lab.calls.size(), 255u);
    EXPECT_EQ(lab.maxRunning, 10);
    // The JSON-API probe runs only where the legacy one failed.
    EXPECT_EQ(
        std::count_if(lab.apiCalls.begin(), lab.apiCalls.end(), [](const std::string& a) { return a.back() == '1'; }),
        0);
    EXPECT_EQ(lab.apiCalls.size(), 255u - 26u);
    // The update check once for each adapter recognised, none for the others.
    EXPECT_EQ(lab.updateChecks.size(), 26u);
}

TEST(CScanThread, JobsStartInPlanOrderWithThePlansLoginAndTheCountIsKeptWithinItsBounds)
{
    // One job at a time (a count of 0 is taken as 1): the probes begin in start order.
    TestWindow window;
    ProbeLab lab;
    CScanThread scan(&TestWindow::OnResult, &window);
    CScanThread::Plan plan = MakePlan({Net("10.0.0.*")}, 3, 6, true, lab.Probes());
    plan.login = {"tech", "secret", false};
    plan.maxJobs = 0;
    scan.SetPlan(plan);
    RunSearch(scan, window, 6);
    EXPECT_EQ(lab.order, (std::vector<std::string>{"10.10.10.10", "10.0.0.3", "10.0.0.4", "10.0.0.5", "10.0.0.6"}));
    EXPECT_EQ(lab.maxRunning, 1);
    for (const ProbeTarget& target : lab.targets) {
        EXPECT_EQ(target.user, "tech");
        EXPECT_EQ(target.password, "secret");
        EXPECT_FALSE(target.useHttps);
    }

    // Forty at once when asked; the next plan's login replaces the last one's.
    TestWindow wide;
    ProbeLab many;
    many.holdCount = 40;
    many.holdUntilRunning = 40;
    CScanThread again(&TestWindow::OnResult, &wide);
    plan = MakePlan({Net("192.168.7.*")}, 1, 100, false, many.Probes());
    plan.maxJobs = 40;
    plan.login = {"other", "pw2", true};
    again.SetPlan(plan);
    const auto records = RunSearch(again, wide, 101);
    EXPECT_EQ(Addresses(records).size(), 100u);
    EXPECT_EQ(many.maxRunning, 40);
    EXPECT_EQ(many.targets.front().user, "other");
    EXPECT_TRUE(many.targets.front().useHttps);
}

TEST(CScanThread, SmallRangeWithDefaultStartsAllSixTogether)
{
    TestWindow window;
    ProbeLab lab;
    lab.holdCount = 6;
    lab.holdUntilRunning = 6;
    CScanThread scan(&TestWindow::OnResult, &window);
    scan.SetPlan(MakePlan({Net("10.0.0.0")}, 1, 5, true, lab.Probes()));
    const auto records = RunSearch(scan, window, 7);
    EXPECT_EQ(records.size(), 7u);
    EXPECT_EQ(lab.maxRunning, 6);
}

TEST(CScanThread, EmptyPlanDeliversOnlyTheEndRecord)
{
    TestWindow window;
    ProbeLab lab;
    CScanThread scan(&TestWindow::OnResult, &window);
    CScanThread::Plan plan;
    plan.probes = lab.Probes();
    scan.SetPlan(plan);
    const auto records = RunSearch(scan, window, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].endOfSearch);
    EXPECT_TRUE(lab.calls.empty());
}

TEST(CScanThread, StopDeliversNoEndRecordAndNothingFromStoppedJobs)
{
    TestWindow window;
    ProbeLab lab;
    lab.holdCount = 1000;
    lab.holdUntilStopped = true;
    CScanThread scan(&TestWindow::OnResult, &window);
    scan.SetPlan(MakePlan({Net("192.168.1.*")}, 1, 254, false, lab.Probes()));
    ASSERT_TRUE(scan.Start(10000, true));
    lab.WaitForRunning(10);
    // The window's stop sequence.
    scan.abortRequested = true;
    scan.StopAllJobs();
    scan.WaitForJobs();
    EXPECT_TRUE(scan.Stop(jwin::kNoTimeLimit, true));
    EXPECT_TRUE(window.Records().empty());
    EXPECT_EQ(lab.calls.size(), 10u);
}

TEST(CScanThread, JobOutlivingTheFinalWaitStillDeliversAndSlotReuseStopsIt)
{
    TestWindow window;
    ProbeLab lab;
    lab.holdCount = 2;
    CScanThread scan(&TestWindow::OnResult, &window, 0);
    scan.SetPlan(MakePlan({Net("192.168.1.*")}, 1, 2, false, lab.Probes()));
    ASSERT_TRUE(scan.Start(10000, true));
    auto records = window.WaitForRecords(1);
    ASSERT_TRUE(records[0].endOfSearch); // the end came while both jobs still ran
    lab.Release();
    records = window.WaitForRecords(3);
    EXPECT_EQ(Addresses(records), (std::set<std::string>{"192.168.1.1", "192.168.1.2"}));
    scan.Stop();

    // A second search whose job outlives the wait is stopped when a third search reuses its slot.
    TestWindow later;
    ProbeLab hang;
    hang.holdCount = 1;
    hang.holdUntilStopped = true;
    CScanThread again(&TestWindow::OnResult, &later, 0);
    again.SetPlan(MakePlan({Net("192.168.1.*")}, 1, 1, false, hang.Probes()));
    ASSERT_TRUE(again.Start(10000, true));
    later.WaitForRecords(1);
    again.Stop();
    ASSERT_TRUE(again.Start(10000, true)); // the same plan reuses slot 1: the hanging job is stopped
    records = later.WaitForRecords(3);
    again.Stop();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_TRUE(records[0].endOfSearch);
    // The short final wait may report the end before or after the new job's record.
    EXPECT_EQ(std::count_if(records.begin(), records.end(), [](const DeviceRecord& r) { return r.endOfSearch; }), 2);
    EXPECT_EQ(Addresses(records), std::set<std::string>{"192.168.1.1"});
    EXPECT_EQ(hang.calls["192.168.1.1"], 2);
}

TEST(CScanThread, TheDefaultAddressKeepsItsOwnSlotBesideHostZero)
{
    TestWindow window;
    ProbeLab lab;
    CScanThread scan(&TestWindow::OnResult, &window);
    scan.SetPlan(MakePlan({Net("172.16.0.1")}, 0, 254, true, lab.Probes()));
    const auto records = RunSearch(scan, window, 257);
    ASSERT_EQ(records.size(), 257u); // 10.10.10.10 plus hosts 0..254, and the end
    const auto addresses = Addresses(records);
    EXPECT_TRUE(addresses.count("10.10.10.10"));
    EXPECT_TRUE(addresses.count("172.16.0.0"));
    EXPECT_TRUE(addresses.count("172.16.0.254"));
}

TEST(CScanThread, SeveralNetworksVisitEachAddressOnceAndRunningJobsNeverShareASlot)
{
    TestWindow window;
    ProbeLab lab;
    // The first twenty jobs wait for each other, so 192.168.7.h and 192.168.8.h run together.
    lab.holdCount = 20;
    lab.holdUntilStarted = 20;
    lab.holdUntilStopped = true;
    const auto octet = [](const std::string& address, int which) {
        std::size_t at = 0;
        for (int i = 0; i < which; ++i)
            at = address.find('.', at) + 1;
        return std::stoi(address.substr(at));
    };
    // Each address its own outcome: every fourth host refused, the others answering with a dead
    // port named after the address, so an outcome filed under the wrong address shows.
    lab.judge = [&](const std::string& address) -> KnockOutcome {
        const int host = octet(address, 3);
        if (host % 4 == 0)
            return {KnockVerdict::Refused, {}, {ProbeFailureKind::Refused, "refused " + address}};
        return {KnockVerdict::Answered, {{static_cast<std::uint16_t>(octet(address, 2) * 100 + host), {}}}, {}};
    };
    CScanThread scan(&TestWindow::OnResult, &window);
    // Overlapping networks and one that holds the factory address.
    CScanThread::Plan plan = MakePlan({Net("192.168.7.0/28"), Net("192.168.8.0/28"), Net("192.168.7.0/27"),
                                       Net("10.10.10.8/30"), Net("10.10.10.12/32")},
                                      1, 254, true, lab.Probes());
    plan.maxJobs = 20;
    scan.SetPlan(plan);
    ASSERT_TRUE(scan.Start(10000, true));
    const auto records = window.WaitForEnd();
    scan.Stop(jwin::kNoTimeLimit, true);

    std::vector<std::string> expected{"10.10.10.10"};
    for (const auto& [prefix, first, last] :
         {std::tuple{"192.168.7.", 1, 15}, {"192.168.8.", 1, 15}, {"192.168.7.", 16, 31}, {"10.10.10.", 8, 12}}) {
        for (int host = first; host <= last; ++host) {
            if (prefix + std::to_string(host) != "10.10.10.10")
                expected.push_back(prefix + std::to_string(host));
        }
    }
    EXPECT_EQ(lab.knocked, expected); // one pass over all, in start order, each address once
    ASSERT_EQ(records.size(), expected.size() + 1);
    EXPECT_TRUE(records.back().endOfSearch);
    EXPECT_EQ(Addresses(records), std::set<std::string>(expected.begin(), expected.end()));
    EXPECT_EQ(lab.stopped, 0);
    EXPECT_EQ(lab.maxRunning, 20);
    for (const DeviceRecord& record : records) {
        if (record.endOfSearch || record.ip == "10.10.10.10")
            continue;
        const int host = octet(record.ip, 3);
        if (host % 4 == 0) {
            EXPECT_EQ(lab.calls.count(record.ip), 0u) << record.ip;
            EXPECT_EQ(record.failure.detail, "refused " + record.ip);
        } else {
            EXPECT_EQ(lab.calls[record.ip], 1) << record.ip;
            EXPECT_EQ(lab.deadPortsSeen[record.ip],
                      std::vector<std::uint16_t>{static_cast<std::uint16_t>(octet(record.ip, 2) * 100 + host)});
        }
    }
}

// Families of any number, each on its own port: a job tries them in order until one recognises the
// adapter or makes a finding of its own, skips a family whose port the knock found dead, and runs
// the update check once, after the family that recognised the adapter.
TEST(CScanThread, AJobTriesItsFamiliesInOrderAndChecksForUpdatesOnceAfterTheOneThatRecognised)
{
    std::mutex mutex;
    std::vector<std::string> calls;  // "family address"
    std::vector<std::string> checks; // "address compactVersion"
    auto family = [&](std::string name, std::uint16_t port, char recognises, char finds) {
        ProbeFamily f;
        f.name = name;
        f.port = [port](bool) { return port; };
        f.probe = [&, name, port, recognises, finds](const ProbeTarget& target, DeviceRecord& record) {
            const std::string address = target.address.Text();
            std::lock_guard lock(mutex);
            calls.push_back(name + " " + address);
            EXPECT_EQ(target.port, port);
            ProbeResult result;
            if (address.back() == recognises) {
                record.found = true;
                record.model = name;
                result = {true, name + "-version"};
            } else if (address.back() == finds) {
                record.found = true; // a finding of its own, like a refused login
            } else {
                record.failure = {ProbeFailureKind::NotAnAdapter, name + " saw nothing"};
            }
            return result;
        };
        return f;
    };
    JobProbes probes;
    probes.families = {family("", 80, '1', 0), family("LX9", 8080, '2', '3'), family("LX10", 9000, 0, 0)};
    probes.updateCheck = [&](const ProbeTarget& target, DeviceRecord& record, const std::string& compactVersion) {
        std::lock_guard lock(mutex);
        checks.push_back(target.address.Text() + " " + compactVersion);
        return record.model + " checked";
    };
    // The knock lets every address through, with port 8080 of .5 dead.
    probes.knock = [](const std::vector<Ipv4Address>& addresses, bool, const std::function<bool()>&,
                      const KnockReport& report) {
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            KnockOutcome outcome{KnockVerdict::Answered, {}, {}};
            if (addresses[i].Host() == 5)
                outcome.deadPorts.push_back({8080, {ProbeFailureKind::Refused, "connection refused"}});
            report(i, outcome);
        }
    };
    TestWindow window;
    CScanThread scan(&TestWindow::OnResult, &window);
    scan.SetPlan(MakePlan({Net("10.0.0.0/29")}, 1, 5, false, probes));
    const auto records = RunSearch(scan, window, 6);
    std::map<std::string, DeviceRecord> byAddress;
    for (const DeviceRecord& record : records)
        byAddress[record.ip] = record;

    std::sort(calls.begin(), calls.end());
    EXPECT_EQ(calls, (std::vector<std::string>{" 10.0.0.1", " 10.0.0.2", " 10.0.0.3", " 10.0.0.4", " 10.0.0.5",
                                               "LX10 10.0.0.4", "LX10 10.0.0.5", "LX9 10.0.0.2", "LX9 10.0.0.3",
                                               "LX9 10.0.0.4"}));
    std::sort(checks.begin(), checks.end());
    EXPECT_EQ(checks, (std::vector<std::string>{"10.0.0.1 -version", "10.0.0.2 LX9-version"}));
    EXPECT_EQ(byAddress["10.0.0.1"].updateText, " checked");
    EXPECT_EQ(byAddress["10.0.0.2"].updateText, "LX9 checked");
    EXPECT_TRUE(byAddress["10.0.0.3"].found);
    EXPECT_TRUE(byAddress["10.0.0.3"].updateText.empty());
    EXPECT_EQ(byAddress["10.0.0.3"].failure, ProbeFailure{});
    EXPECT_EQ(byAddress["10.0.0.4"].failure.detail,
              "port 80:  saw nothing; LX9 on port 8080: LX9 saw nothing; LX10 on port 9000: LX10 saw nothing");
    EXPECT_EQ(byAddress["10.0.0.5"].failure.detail,
              "port 80:  saw nothing; LX9 on port 8080: connection refused; LX10 on port 9000: LX10 saw nothing");
}

TEST(CScanThread, MissingCallbackRefusesTheSearch)
{
    CScanThread scan(nullptr, nullptr);
    scan.SetPlan(MakePlan({Net("10.0.0.*")}, 1, 2, true, {}));
    EXPECT_EQ(scan.Run(), kScanInvalidArg);
    CScanInfo job;
    EXPECT_EQ(job.Run(), kScanInvalidArg);
}

TEST(DiscoveryPass, OnlyAddressesThatAnsweredAreProbedAndTheOthersStillDeliverTheirRecord)
{
    TestWindow window;
    ProbeLab lab;
    lab.holdCount = 10;
    lab.holdUntilRunning = 10;
    const auto host = [](const std::string& address) { return std::stoi(address.substr(address.rfind('.') + 1)); };
    lab.judge = [&](const std::string& address) -> KnockOutcome {
        if (address == "10.10.10.10")
            return {KnockVerdict::Answered, {}, {}};
        switch (host(address) % 4) {
        case 0:
            return {KnockVerdict::Refused, {{80, {}}}, {ProbeFailureKind::Refused, "refused " + address}};
        case 1:
            return {KnockVerdict::Silent, {{80, {}}}, {ProbeFailureKind::Silent, "silent " + address}};
        case 2:
            return {KnockVerdict::Answered, {{443, {}}}, {}};
        default:
            return {KnockVerdict::NotKnocked, {}, {}};
        }
    };
    CScanThread scan(&TestWindow::OnResult, &window);
    scan.SetPlan(MakePlan({Net("192.168.7.*")}, 1, 60, true, lab.Probes()));
    const auto records = RunSearch(scan, window, 62);

    // One record per address, found or ruled out, and the end record last.
    ASSERT_EQ(records.size(), 62u);
    EXPECT_TRUE(records.back().endOfSearch);
    EXPECT_EQ(Addresses(records).size(), 61u);
    // The knock got the plan in start order and the plan's scheme.
    ASSERT_EQ(lab.knocked.size(), 61u);
    EXPECT_EQ(lab.knocked.front(), "10.10.10.10");
    EXPECT_EQ(lab.knocked.back(), "192.168.7.60");
    EXPECT_FALSE(lab.knockedHttps);

    for (const DeviceRecord& record : records) {
        if (record.endOfSearch)
            continue;
        const bool probed = record.ip == "10.10.10.10" || host(record.ip) % 4 >= 2;
        EXPECT_EQ(lab.calls.count(record.ip), probed ? 1u : 0u) << record.ip;
        if (!probed) {
            EXPECT_FALSE(record.found) << record.ip;
            EXPECT_TRUE(record.model.empty()) << record.ip;
            // The knock's reason travels with the record.
            EXPECT_EQ(record.failure.detail, (host(record.ip) % 4 == 0 ? "refused " : "silent ") + record.ip);
        }
    }
    EXPECT_EQ(lab.calls.size(), 31u);
    EXPECT_EQ(lab.maxRunning, 10);
    EXPECT_EQ(lab.deadPortsSeen["192.168.7.2"], std::vector<std::uint16_t>{443});
    EXPECT_TRUE(lab.deadPortsSeen["192.168.7.3"].empty());
}

TEST(DiscoveryPass, StopDuringTheKnockDeliversNothingAndEnds)
{
    TestWindow window;
    ProbeLab lab;
    std::atomic<bool> knocking{false};
    std::atomic<bool> sawStop{false};
    JobProbes probes = lab.Probes();
    // A knock on a network where nothing answers: it only ends when told to.
    probes.knock = [&](const std::vector<Ipv4Address>&, bool, const std::function<bool()>& stopRequested,
                       const KnockReport&) {
        knocking = true;
        while (!stopRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sawStop = true;
    };
    CScanThread scan(&TestWindow::OnResult, &window);
    scan.SetPlan(MakePlan({Net("192.168.1.*")}, 1, 254, true, probes));
    ASSERT_TRUE(scan.Start(10000, true));
    while (!knocking)
        std::this_thread::yield();
    scan.abortRequested = true;
    scan.StopAllJobs();
    scan.WaitForJobs();
    EXPECT_TRUE(scan.Stop(jwin::kNoTimeLimit, true));
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(window.Records().empty());
    EXPECT_TRUE(lab.calls.empty());
}

TEST(CScanInfo, DeliversOneRecordWithItsAddressAndItsLogin)
{
    TestWindow window;
    ProbeTarget seen;
    CScanInfo job;
    job.address = Ipv4Address(127, 0, 0, 9);
    job.resultCallback = &TestWindow::OnResult;
    job.callbackContext = &window;
    job.user = "admin";
    job.probes.families = testsupport::FakeFamilies({}, [&](const ProbeTarget& target, DeviceRecord&) {
        seen = target;
        return false;
    });
    ASSERT_TRUE(job.Start(10000, true));
    const auto records = window.WaitForRecords(1);
    job.Stop();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].ip, "127.0.0.9");
    EXPECT_FALSE(records[0].found);
    EXPECT_EQ(seen.user, "admin");
    EXPECT_EQ(seen.address, Ipv4Address(127, 0, 0, 9));
}

} // namespace
