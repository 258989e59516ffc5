#include "scan/scan_lock.h"
#include "scan/search.h"
#include "support/threads/message_queue.h"
#include "testsupport/fake_families.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

// The sink of a search: what arrived, whether each delivery came under the scan lock, and a wait
// for the end record.
struct Sink
{
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<DeviceRecord> records;
    int unlocked = 0; // deliveries another thread could have interleaved with

    void Take(const DeviceRecord& record)
    {
        const bool locked = !std::async(std::launch::async, [] {
                                 const bool free = scan::ScanLock().Lock(0);
                                 if (free)
                                     scan::ScanLock().Unlock();
                                 return free;
                             }).get();
        std::lock_guard lock(mutex);
        records.push_back(record);
        unlocked += locked ? 0 : 1;
        changed.notify_all();
    }

    std::vector<DeviceRecord> WaitForEnd()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !records.empty() && records.back().endOfSearch; });
        return records;
    }
};

// Probes that note the login they were given; addresses ending in 5 hold until their job stops.
struct Probes
{
    std::mutex mutex;
    std::vector<ProbeTarget> seen;
    std::atomic<int> holding{0};
    std::atomic<int> knocks{0};

    JobProbes Make()
    {
        JobProbes probes;
        probes.families = testsupport::FakeFamilies([this](const ProbeTarget& target, DeviceRecord& record) {
            {
                std::lock_guard lock(mutex);
                seen.push_back(target);
            }
            const std::string address = target.address.Text();
            if (address.back() == '5') {
                ++holding;
                while (!target.stop.StopRequested())
                    std::this_thread::yield();
                --holding;
            }
            record.found = address.back() == '1';
            return record.found;
        });
        probes.knock = [this](const std::vector<Ipv4Address>& addresses, bool, const std::function<bool()>&,
                              const KnockReport& report) {
            ++knocks;
            for (std::size_t i = 0; i < addresses.size(); ++i)
                report(i, KnockOutcome{KnockVerdict::Answered, {}, {}});
        };
        return probes;
    }
};

scan::Ipv4Network Net(const char* text)
{
    return scan::ParseNetwork(text).value_or(scan::Ipv4Network{});
}

scan::SearchPlan Plan(Probes& probes, std::int32_t first, std::int32_t last)
{
    scan::SearchPlan plan;
    plan.networks = scan::NetworkList({Net("10.1.2.*")}, first, last);
    plan.scanDefaultAddress = false;
    plan.login = {"tech", "secret", false};
    plan.probes = probes.Make();
    return plan;
}

TEST(Search, DeliversEveryRecordUnderTheScanLockEndLastWithThePlansLogin)
{
    Sink sink;
    Probes probes;
    scan::Search search([&sink](const DeviceRecord& record) { sink.Take(record); });
    scan::SearchPlan plan = Plan(probes, 1, 4);
    plan.scanDefaultAddress = true;
    plan.discovery = false;
    ASSERT_TRUE(search.Start(plan));
    const std::vector<DeviceRecord> records = sink.WaitForEnd();
    search.Stop();

    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(sink.unlocked, 0);
    EXPECT_EQ(std::count_if(records.begin(), records.end(), [](const DeviceRecord& r) { return r.found; }), 1);
    EXPECT_EQ(probes.knocks, 0);
    for (const ProbeTarget& target : probes.seen) {
        EXPECT_EQ(target.user, "tech");
        EXPECT_EQ(target.password, "secret");
        EXPECT_FALSE(target.useHttps);
    }
}

TEST(Search, StopOnTheThreadTheSinkSendsToEndsEveryJobAndNoEndRecordArrives)
{
    // The window's case: the sink runs each record through the stopping thread's queue, so a
    // stop that did not dispatch it would wait forever for a job stuck in Send.
    const jwin::MessageQueue::Handle owner = jwin::MessageQueue::Current();
    Sink sink;
    Probes probes;
    std::atomic<int> sending{0};
    scan::Search search([&](const DeviceRecord& record) {
        ++sending;
        owner->Send([&] { sink.Take(record); });
    });
    ASSERT_TRUE(search.Start(Plan(probes, 1, 5)));
    while (sending.load() == 0 || probes.holding.load() == 0)
        std::this_thread::yield();
    EXPECT_TRUE(search.Running());

    search.Stop();
    EXPECT_FALSE(search.Running());
    EXPECT_EQ(probes.holding, 0);
    std::lock_guard lock(sink.mutex);
    EXPECT_EQ(static_cast<int>(sink.records.size()), sending.load()); // every Send completed
    for (const DeviceRecord& record : sink.records)
        EXPECT_FALSE(record.endOfSearch);
    EXPECT_EQ(std::find_if(sink.records.begin(), sink.records.end(),
                           [](const DeviceRecord& r) { return r.ip == "10.1.2.5"; }),
              sink.records.end())
        << "the stopped job delivered";
}

TEST(Search, SeveralNetworksAreOneSearchWithOneKnockAndItSearchesAgainAfterAStop)
{
    Sink sink;
    Probes probes;
    scan::Search search([&sink](const DeviceRecord& record) { sink.Take(record); });
    scan::SearchPlan two = Plan(probes, 1, 2);
    two.networks = scan::NetworkList({Net("10.1.2.0/30"), Net("10.1.3.0/30"), Net("10.1.2.2/31")}, 1, 254);
    EXPECT_EQ(scan::AddressCount(two), 6u);
    ASSERT_TRUE(search.Start(two));
    std::vector<DeviceRecord> records = sink.WaitForEnd();
    search.Stop();
    EXPECT_EQ(records.size(), 7u);
    EXPECT_EQ(probes.knocks, 1);
    {
        std::lock_guard lock(sink.mutex);
        sink.records.clear();
    }

    ASSERT_TRUE(search.Start(Plan(probes, 4, 6)));
    while (probes.holding.load() == 0)
        std::this_thread::yield();
    search.Stop();
    {
        std::lock_guard lock(sink.mutex);
        sink.records.clear();
    }
    ASSERT_TRUE(search.Start(Plan(probes, 1, 3)));
    records = sink.WaitForEnd();
    ASSERT_EQ(records.size(), 4u); // the third search's own three and its end
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(records[i].ip == "10.1.2.1" || records[i].ip == "10.1.2.2" || records[i].ip == "10.1.2.3");
    EXPECT_EQ(probes.knocks, 3);
}

} // namespace
