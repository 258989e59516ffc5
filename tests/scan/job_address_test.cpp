#include "scan/scan_info.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

struct Delivered
{
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<DeviceRecord> records;

    static int OnResult(const DeviceRecord& record, void* context)
    {
        auto* self = static_cast<Delivered*>(context);
        std::lock_guard lock(self->mutex);
        self->records.push_back(record);
        self->changed.notify_all();
        return 1;
    }
};

// A job whose address is no dotted IPv4 literal hands nothing to a probe (which would pass it to
// the resolver as a host name), yet still delivers its one empty record.
TEST(CScanInfo, ProbesOnlyDottedQuadAddressesAndAlwaysDelivers)
{
    const struct
    {
        const char* address;
        bool probed;
    } cases[] = {
        {"10.55.0.7", true},   {"abc.7", false},      {"300.1.1.7", false},         {"192.168.7", false},
        {"1.2.3.4.7", false},  {"10.55.0.07", false}, {"0x0a.55.0.7", false},       {".7", false},
        {" 10.55.0.7", false}, {"10.55.0.7 ", false}, {"adapter.example.7", false},
    };
    for (const auto& c : cases) {
        Delivered delivered;
        int probeCalls = 0;
        CScanInfo job;
        job.address = c.address;
        job.resultCallback = &Delivered::OnResult;
        job.callbackContext = &delivered;
        job.probes.legacy = [&](const ProbeTarget&, DeviceRecord&) { return ++probeCalls, false; };
        job.probes.api = [&](const ProbeTarget&, DeviceRecord&) { return ++probeCalls, false; };
        ASSERT_TRUE(job.Start(10000, true));
        {
            std::unique_lock lock(delivered.mutex);
            delivered.changed.wait(lock, [&] { return !delivered.records.empty(); });
        }
        job.Stop();
        EXPECT_EQ(probeCalls, c.probed ? 2 : 0) << c.address;
        ASSERT_EQ(delivered.records.size(), 1u) << c.address;
        EXPECT_EQ(delivered.records[0].ip, c.address);
        EXPECT_FALSE(delivered.records[0].found);
    }
}

} // namespace
