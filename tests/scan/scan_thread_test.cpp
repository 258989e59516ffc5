#include "scan/scan_lock.h"
#include "scan/scan_thread.h"

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

// The window side of a search: collects records and numbers the jobs in start order through the
// login it hands out (each StartJob asks for the user once).
class TestWindow : public IScanWindow
{
public:
    std::string CurrentUser() const override { return std::to_string(startCount++); }
    std::string CurrentPassword() const override { return "pw"; }
    bool CurrentUseHttps() const override { return false; }

    static int OnResult(const DeviceRecord& record, void* context)
    {
        auto* window = static_cast<TestWindow*>(static_cast<IScanWindow*>(context));
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

    mutable std::atomic<int> startCount{0};
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
    std::map<std::string, std::string> startIndex; // address -> the user its job was given
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
    std::map<std::string, std::vector<std::uint16_t>> deadPortsSeen;
    // A knock that judges every address at once with `judge`, in plan order; none when unset.
    std::function<KnockOutcome(const std::string& address)> judge;
    std::vector<std::string> knocked;
    bool knockedHttps = true;

    JobProbes Probes()
    {
        JobProbes probes;
        if (judge) {
            probes.knock = [this](const std::vector<std::string>& addresses, bool useHttps,
                                  const std::function<bool()>&, const KnockReport& report) {
                {
                    std::lock_guard lock(mutex);
                    knocked = addresses;
                    knockedHttps = useHttps;
                }
                for (std::size_t i = 0; i < addresses.size(); ++i)
                    report(i, judge(addresses[i]));
            };
        }
        probes.legacy = [this](const ProbeTarget& target, DeviceRecord& record) {
            std::unique_lock lock(mutex);
            ++calls[target.address];
            startIndex[target.address] = target.user;
            for (const DeadPort& dead : target.deadPorts)
                deadPortsSeen[target.address].push_back(dead.port);
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
            return target.address.back() == '1'; // addresses ending in 1 are "legacy adapters"
        };
        probes.api = [this](const ProbeTarget& target, DeviceRecord&) {
            std::lock_guard lock(mutex);
            apiCalls.push_back(target.address);
            return false;
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
    CScanThread scan(&TestWindow::OnResult, &window, lab.Probes());
    scan.scanDefaultAddress = true;
    scan.scanRange = true;
    scan.SetPlan("192.168.7.*", 1, 254);
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
    // Start order: the default address first, then the hosts in ascending order.
    EXPECT_EQ(lab.startIndex["10.10.10.10"], "0");
    EXPECT_EQ(lab.startIndex["192.168.7.1"], "1");
    EXPECT_EQ(lab.startIndex["192.168.7.254"], "254");
    // The JSON-API probe runs only where the legacy one failed.
    EXPECT_EQ(
        std::count_if(lab.apiCalls.begin(), lab.apiCalls.end(), [](const std::string& a) { return a.back() == '1'; }),
        0);
    EXPECT_EQ(lab.apiCalls.size(), 255u - 26u);
}

TEST(CScanThread, WiderJobCountRunsThatManyTogetherAndIsClamped)
{
    TestWindow window;
    ProbeLab lab;
    lab.holdCount = 40;
    lab.holdUntilRunning = 40;
    CScanThread scan(&TestWindow::OnResult, &window, lab.Probes());
    scan.SetMaxJobs(40);
    scan.scanRange = true;
    scan.SetPlan("192.168.7.*", 1, 100);
    const auto records = RunSearch(scan, window, 101);
    EXPECT_EQ(Addresses(records).size(), 100u);
    EXPECT_EQ(lab.maxRunning, 40);

    scan.SetMaxJobs(0);
    EXPECT_EQ(scan.MaxJobs(), 1);
    scan.SetMaxJobs(1000);
    EXPECT_EQ(scan.MaxJobs(), 255);
}

TEST(CScanThread, SmallRangeWithDefaultStartsAllSixTogether)
{
    TestWindow window;
    ProbeLab lab;
    lab.holdCount = 6;
    lab.holdUntilRunning = 6;
    CScanThread scan(&TestWindow::OnResult, &window, lab.Probes());
    scan.scanDefaultAddress = true;
    scan.scanRange = true;
    scan.SetPlan("10.0.0.0", 1, 5);
    const auto records = RunSearch(scan, window, 7);
    EXPECT_EQ(records.size(), 7u);
    EXPECT_EQ(lab.maxRunning, 6);
    EXPECT_EQ(lab.startIndex["10.10.10.10"], "0");
    EXPECT_EQ(lab.startIndex["10.0.0.5"], "5");
}

TEST(CScanThread, EmptyPlanDeliversOnlyTheEndRecord)
{
    TestWindow window;
    ProbeLab lab;
    CScanThread scan(&TestWindow::OnResult, &window, lab.Probes());
    scan.SetPlan("192.168.1.*", 1, 254);
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
    CScanThread scan(&TestWindow::OnResult, &window, lab.Probes());
    scan.scanRange = true;
    scan.SetPlan("192.168.1.*", 1, 254);
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
    CScanThread scan(&TestWindow::OnResult, &window, lab.Probes(), 0);
    scan.scanRange = true;
    scan.SetPlan("192.168.1.*", 1, 2);
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
    CScanThread again(&TestWindow::OnResult, &later, hang.Probes(), 0);
    again.scanRange = true;
    again.SetPlan("192.168.1.*", 1, 1);
    ASSERT_TRUE(again.Start(10000, true));
    later.WaitForRecords(1);
    again.Stop();
    ASSERT_TRUE(again.Start(10000, true)); // reuses slot 1: the hanging job is stopped
    records = later.WaitForRecords(3);
    again.Stop();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_TRUE(records[0].endOfSearch);
    // The short final wait may report the end before or after the new job's record.
    EXPECT_EQ(std::count_if(records.begin(), records.end(), [](const DeviceRecord& r) { return r.endOfSearch; }), 2);
    EXPECT_EQ(Addresses(records), std::set<std::string>{"192.168.1.1"});
    EXPECT_EQ(hang.calls["192.168.1.1"], 2);
}

TEST(CScanThread, HostNumbersAreClampedAndTheDefaultAddressKeepsItsOwnSlot)
{
    TestWindow window;
    ProbeLab lab;
    CScanThread scan(&TestWindow::OnResult, &window, lab.Probes());
    scan.scanDefaultAddress = true;
    scan.scanRange = true;
    scan.SetPlan("172.16.0.1", -20, 999);
    const auto records = RunSearch(scan, window, 257);
    ASSERT_EQ(records.size(), 257u); // 10.10.10.10 plus hosts 0..254, and the end
    const auto addresses = Addresses(records);
    EXPECT_TRUE(addresses.count("10.10.10.10"));
    EXPECT_TRUE(addresses.count("172.16.0.0"));
    EXPECT_TRUE(addresses.count("172.16.0.254"));
    EXPECT_FALSE(addresses.count("172.16.0.255"));
}

TEST(CScanThread, TooLongPrefixIsRefusedPerJobAndTheSearchStillEnds)
{
    TestWindow window;
    ProbeLab lab;
    CScanThread scan(&TestWindow::OnResult, &window, lab.Probes());
    scan.scanDefaultAddress = true;
    scan.scanRange = true;
    scan.SetPlan(std::string(130, '1') + ".0", 1, 12);
    const auto records = RunSearch(scan, window, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].ip, "10.10.10.10");
    EXPECT_TRUE(records[1].endOfSearch);
}

TEST(CScanThread, SetPlanKeepsThePartBeforeTheLastDot)
{
    CScanThread scan(&TestWindow::OnResult, nullptr, {});
    scan.SetPlan("192.168.1.*", 3, 9);
    EXPECT_EQ(scan.Prefix(), "192.168.1");
    EXPECT_EQ(scan.FirstHost(), 3);
    EXPECT_EQ(scan.LastHost(), 9);
    scan.SetPlan("", 1, 2);
    EXPECT_EQ(scan.Prefix(), "");
    scan.SetPlan(".5", 1, 2);
    EXPECT_EQ(scan.Prefix(), ".5");
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
    CScanThread scan(&TestWindow::OnResult, &window, lab.Probes());
    scan.SetMaxJobs(20);
    scan.scanDefaultAddress = true;
    scan.scanRange = true;
    // Overlapping networks and one that holds the factory address.
    scan.SetNetworks({{"192.168.7", 1, 12}, {"192.168.8", 1, 12}, {"192.168.7", 6, 20}, {"10.10.10", 8, 12}});
    EXPECT_EQ(scan.Prefix(), "192.168.7");
    ASSERT_TRUE(scan.Start(10000, true));
    const auto records = window.WaitForEnd();
    scan.Stop(jwin::kNoTimeLimit, true);

    std::vector<std::string> expected{"10.10.10.10"};
    for (const auto& [prefix, first, last] :
         {std::tuple{"192.168.7.", 1, 12}, {"192.168.8.", 1, 12}, {"192.168.7.", 13, 20}, {"10.10.10.", 8, 12}}) {
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
    EXPECT_EQ(lab.startIndex["10.10.10.10"], "0");
    for (const DeviceRecord& record : records) {
        if (record.endOfSearch || record.ip == "10.10.10.10")
            continue;
        const int host = octet(record.ip, 3);
        const KnockVerdict verdict = host % 4 == 0 ? KnockVerdict::Refused : KnockVerdict::Answered;
        EXPECT_EQ(scan.VerdictFor(record.ip), verdict) << record.ip;
        if (verdict == KnockVerdict::Refused) {
            EXPECT_EQ(lab.calls.count(record.ip), 0u) << record.ip;
            EXPECT_EQ(record.failure.detail, "refused " + record.ip);
        } else {
            EXPECT_EQ(lab.calls[record.ip], 1) << record.ip;
            EXPECT_EQ(lab.deadPortsSeen[record.ip],
                      std::vector<std::uint16_t>{static_cast<std::uint16_t>(octet(record.ip, 2) * 100 + host)});
        }
    }
}

TEST(CScanThread, MissingCallbackRefusesTheSearch)
{
    CScanThread scan(nullptr, nullptr, {});
    scan.scanRange = true;
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
    CScanThread scan(&TestWindow::OnResult, &window, lab.Probes());
    scan.scanDefaultAddress = true;
    scan.scanRange = true;
    scan.SetPlan("192.168.7.*", 1, 60);
    const auto records = RunSearch(scan, window, 62);

    // One record per address, found or ruled out, and the end record last.
    ASSERT_EQ(records.size(), 62u);
    EXPECT_TRUE(records.back().endOfSearch);
    EXPECT_EQ(Addresses(records).size(), 61u);
    // The knock got the plan in start order and the window's scheme.
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
    EXPECT_EQ(lab.startIndex["10.10.10.10"], "0");
    EXPECT_EQ(lab.deadPortsSeen["192.168.7.2"], std::vector<std::uint16_t>{443});
    EXPECT_TRUE(lab.deadPortsSeen["192.168.7.3"].empty());

    const std::pair<const char*, KnockVerdict> verdicts[] = {
        {"10.10.10.10", KnockVerdict::Answered},    {"192.168.7.4", KnockVerdict::Refused},
        {"192.168.7.5", KnockVerdict::Silent},      {"192.168.7.7", KnockVerdict::NotKnocked},
        {"192.168.7.61", KnockVerdict::NotKnocked}, {"192.168.8.4", KnockVerdict::NotKnocked}};
    for (const auto& [ip, verdict] : verdicts)
        EXPECT_EQ(scan.VerdictFor(ip), verdict) << ip;
}

TEST(DiscoveryPass, StopDuringTheKnockDeliversNothingAndEnds)
{
    TestWindow window;
    ProbeLab lab;
    std::atomic<bool> knocking{false};
    std::atomic<bool> sawStop{false};
    JobProbes probes = lab.Probes();
    // A knock on a network where nothing answers: it only ends when told to.
    probes.knock = [&](const std::vector<std::string>&, bool, const std::function<bool()>& stopRequested,
                       const KnockReport&) {
        knocking = true;
        while (!stopRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sawStop = true;
    };
    CScanThread scan(&TestWindow::OnResult, &window, probes);
    scan.scanDefaultAddress = true;
    scan.scanRange = true;
    scan.SetPlan("192.168.1.*", 1, 254);
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

TEST(CScanInfo, DeliversOneRecordWithItsAddressAndTheWindowLogin)
{
    TestWindow window;
    ProbeTarget seen;
    CScanInfo job;
    job.address = "127.0.0.9";
    job.resultCallback = &TestWindow::OnResult;
    job.callbackContext = static_cast<IScanWindow*>(&window);
    job.user = "admin";
    job.probes.api = [&](const ProbeTarget& target, DeviceRecord&) {
        seen = target;
        return false;
    };
    ASSERT_TRUE(job.Start(10000, true));
    const auto records = window.WaitForRecords(1);
    job.Stop();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].ip, "127.0.0.9");
    EXPECT_FALSE(records[0].found);
    EXPECT_EQ(seen.user, "admin");
}

} // namespace
