// How a job joins the reasons of its two probes into the one its record carries.
#include "scan/probe_failure.h"
#include "scan/scan_info.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace {

using Kind = ProbeFailureKind;

TEST(CombineProbeFailures, TheFurthestReasonLeadsAndSharedOnesAreSaidOnce)
{
    const ProbeFailure refused{Kind::Refused, "connection refused"};
    const ProbeFailure silent{Kind::Silent, "no answer within 3 s"};
    const ProbeFailure tls{Kind::TlsFailed, "TLS handshake failed: unsupported protocol"};
    const ProbeFailure labels{Kind::NotAnAdapter, "HTTP 200 page without adapter data"};
    struct Case
    {
        ProbeFailure legacy;
        ProbeFailure api;
        int apiPort;
        ProbeFailure expected;
    };
    const Case cases[] = {
        {refused, refused, 443, {Kind::Refused, "connection refused on ports 80 and 443"}},
        {refused, refused, 80, {Kind::Refused, "connection refused on port 80"}},
        {silent, silent, 443, {Kind::Silent, "no answer on ports 80 and 443"}},
        {refused, tls, 443, {Kind::TlsFailed, "port 80: connection refused; LX400 on port 443: " + tls.detail}},
        {labels,
         refused,
         443,
         {Kind::NotAnAdapter, "port 80: " + labels.detail + "; LX400 on port 443: connection refused"}},
        {labels, tls, 443, {Kind::TlsFailed, "port 80: " + labels.detail + "; LX400 on port 443: " + tls.detail}},
        {silent, refused, 443, {Kind::Refused, "port 80: no answer within 3 s; LX400 on port 443: connection refused"}},
        {labels, {}, 443, {Kind::NotAnAdapter, "port 80: " + labels.detail}},
        {{}, {}, 443, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CombineProbeFailures(c.legacy, c.api, c.apiPort), c.expected) << c.expected.detail;
    EXPECT_STREQ(ProbeFailureKey(Kind::Silent), "silent");
    EXPECT_STREQ(ProbeFailureKey(Kind::RedirectRefused), "redirect-refused");
}

// Runs one job with the given probes and returns the record it delivered.
DeviceRecord RunJob(JobProbes probes, bool useHttps)
{
    static std::mutex mutex;
    static std::condition_variable delivered;
    static DeviceRecord record;
    static bool done = false;
    done = false;
    CScanInfo job;
    job.address = "127.0.0.9";
    job.useHttps = useHttps;
    job.probes = std::move(probes);
    job.resultCallback = [](const DeviceRecord& r, void*) {
        std::lock_guard lock(mutex);
        record = r;
        done = true;
        delivered.notify_all();
        return 1;
    };
    job.callbackContext = &job;
    EXPECT_TRUE(job.Start(10000, true));
    std::unique_lock lock(mutex);
    delivered.wait(lock, [] { return done; });
    const DeviceRecord result = record;
    lock.unlock();
    job.Stop();
    return result;
}

TEST(CScanInfo, RecordCarriesTheJoinedReasonOnlyWhenNothingWasFound)
{
    auto failing = [](Kind kind, const char* detail) {
        return [kind, detail](const ProbeTarget&, DeviceRecord& record) {
            record.failure = {kind, detail};
            return false;
        };
    };
    JobProbes probes{failing(Kind::Refused, "connection refused"), failing(Kind::Refused, "connection refused")};
    EXPECT_EQ(RunJob(probes, false).failure, (ProbeFailure{Kind::Refused, "connection refused on port 80"}));

    // The reason of the status page does not reach the LX400 probe, nor a record that lists an adapter.
    probes.api = [](const ProbeTarget&, DeviceRecord& record) {
        EXPECT_EQ(record.failure.kind, Kind::None);
        record.found = true;
        record.jsonApi = true;
        record.failure = {Kind::LoginRefused, "the login was refused (HTTP 401)"};
        return false;
    };
    const DeviceRecord denied = RunJob(probes, true);
    EXPECT_TRUE(denied.found);
    EXPECT_EQ(denied.failure, ProbeFailure{});
}

} // namespace
