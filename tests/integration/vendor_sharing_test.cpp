// Whole searches whose update checks share the vendor's answers, with the real probes against
// twelve simulated adapters and the simulator's vendor server in a network namespace of the
// test's own: ten jobs at once, one request per distinct firmware and search, as the simulator's
// request log shows; through the core, through trawlix-scan, and with its disk cache.
#include "probe/job_probes.h"
#include "resources/string_table.h"
#include "scan/search.h"
#include "testsupport/child_process.h"
#include "testsupport/private_network.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Ten LX300 16MB with firmware 4.26 and two LX300 with 4.28, all of OEM 16.
std::string Network()
{
    std::string text = "vendor 10.99.0.1\nlatest 17 16 4.30\nlatest 7 16 4.30\n";
    for (int host = 1; host <= 12; ++host) {
        const bool other = host > 10;
        text += "legacy 10.60.0." + std::to_string(host) + " plain hardware=" + (other ? "LX300" : "LX300 16MB") +
                "|firmware=LX200 v " + (other ? "4.28.16" : "4.26.16") +
                "|mac=00:0A:9C:00:00:" + std::to_string(10 + host) + "|manufacturer=Voltara|location=Rack " +
                std::to_string(host) + "\n";
    }
    return text;
}

const std::string kNewer = "/cgi-bin/kvt_update.cgi?ver=426&oem=16&dev=17";
const std::string kOlder = "/cgi-bin/kvt_update.cgi?ver=428&oem=16&dev=7";

class VendorSharing : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        trawlix::SetLanguage(trawlix::Language::English);
        folder_ = new testsupport::TempFolder;
        std::string failed;
        ASSERT_TRUE(testsupport::AddNetworkAddresses(Network(), &failed)) << failed;
        logPath_ = (folder_->Path() / "requests.log").string();
        sim_ = new testsupport::ChildProcess(TRAWLIX_SIM_PATH,
                                             {folder_->WriteFile("site.net", Network()).string(), "--log", logPath_});
        ASSERT_TRUE(sim_->WaitForOutput("ready", 30s)) << sim_->Errors();
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete folder_;
    }

    void SetUp() override { before_ = VendorRequests(); }

    // The update requests the vendor answered so far: request target -> how often.
    static std::map<std::string, int> VendorRequests()
    {
        std::map<std::string, int> out;
        std::istringstream lines(testsupport::TempFolder::ReadFile(logPath_));
        std::string address, method, target, status;
        while (lines >> address >> method >> target >> status)
            if (target.rfind("/cgi-bin/kvt_update.cgi", 0) == 0)
                ++out[target];
        return out;
    }

    // The update requests since the test began, once they are `expected`: the simulator logs a
    // request just after its answer has gone out, so the log may lag a little behind.
    std::map<std::string, int> RequestsSinceStart(const std::map<std::string, int>& expected) const
    {
        std::map<std::string, int> since;
        for (int attempt = 0; attempt < 100; ++attempt) {
            since.clear();
            for (const auto& [target, count] : VendorRequests()) {
                const auto earlier = before_.find(target);
                const int more = count - (earlier == before_.end() ? 0 : earlier->second);
                if (more > 0)
                    since[target] = more;
            }
            if (since == expected)
                break;
            std::this_thread::sleep_for(20ms);
        }
        return since;
    }

    // Searches the twelve adapters with ten jobs at once; the records by address.
    static std::map<std::string, DeviceRecord> Search(const JobProbes& probes)
    {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        std::map<std::string, DeviceRecord> records;
        scan::Search search([&](const DeviceRecord& record) {
            std::lock_guard lock(mutex);
            if (record.endOfSearch)
                done = true;
            else if (record.found)
                records[record.ip] = record;
            ended.notify_all();
        });
        scan::SearchPlan plan;
        plan.networks = scan::NetworkList({*scan::ParseNetwork("10.60.0.*")}, 1, 12);
        plan.probes = probes;
        plan.scanDefaultAddress = false;
        plan.jobs = 10;
        EXPECT_TRUE(search.Start(plan));
        {
            std::unique_lock lock(mutex);
            EXPECT_TRUE(ended.wait_for(lock, 60s, [&] { return done; }));
        }
        search.Stop();
        return records;
    }

    // trawlix-scan on the twelve adapters as a site's timer runs it; its JSON list.
    static std::string Scan(const std::vector<std::string>& extra, const std::vector<std::string>& environment = {})
    {
        std::vector<std::string> args = {
            "--no-progress", "--no-default-address", "--last", "12", "--update-server", "10.99.0.1", "--format",
            "json"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("10.60.0.*");
        testsupport::ChildProcess scan(TRAWLIX_SCAN_PATH, args, environment);
        EXPECT_TRUE(scan.Wait(120s));
        EXPECT_EQ(scan.ExitCode(), 0) << scan.Errors();
        return scan.Output();
    }

    static testsupport::TempFolder* folder_;
    static testsupport::ChildProcess* sim_;
    static std::string logPath_;
    std::map<std::string, int> before_;
};

testsupport::TempFolder* VendorSharing::folder_ = nullptr;
testsupport::ChildProcess* VendorSharing::sim_ = nullptr;
std::string VendorSharing::logPath_;

TEST_F(VendorSharing, EachSearchAsksOncePerFirmwareWithTheSameResults)
{
    const std::map<std::string, DeviceRecord> alone = Search(MakeJobProbes(ProbeConfig{"10.99.0.1"}));
    EXPECT_EQ(RequestsSinceStart({{kNewer, 10}, {kOlder, 2}}), (std::map<std::string, int>{{kNewer, 10}, {kOlder, 2}}));

    // The probes the front ends make: each search with answers of its own.
    const SearchProbes probes = MakeSearchProbes(ProbeConfig{"10.99.0.1"});
    const std::map<std::string, DeviceRecord> shared = Search(probes());
    EXPECT_EQ(RequestsSinceStart({{kNewer, 11}, {kOlder, 3}}), (std::map<std::string, int>{{kNewer, 11}, {kOlder, 3}}));
    ASSERT_EQ(alone.size(), 12u);
    EXPECT_EQ(shared, alone);
    EXPECT_EQ(shared.at("10.60.0.1").updateText, "Available (4.30)");
    EXPECT_EQ(shared.at("10.60.0.10").updateText, "Available (4.30)");
    EXPECT_EQ(shared.at("10.60.0.11").deviceId, 7);

    // The next search asks again: answers are shared within one search only.
    Search(probes());
    EXPECT_EQ(RequestsSinceStart({{kNewer, 12}, {kOlder, 4}}), (std::map<std::string, int>{{kNewer, 12}, {kOlder, 4}}));
}

TEST_F(VendorSharing, TrawlixScanAsksOncePerFirmwareAndWithTheCacheNotAgain)
{
    const std::string first = Scan({});
    EXPECT_EQ(RequestsSinceStart({{kNewer, 1}, {kOlder, 1}}), (std::map<std::string, int>{{kNewer, 1}, {kOlder, 1}}));
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 14) << first; // [, twelve adapters, ]
    EXPECT_EQ(first.find("Info N/A"), std::string::npos) << first;

    // Kept for an hour: the next searches of the timer find the answers on disk.
    testsupport::TempFolder cache;
    const std::vector<std::string> environment = {"XDG_CACHE_HOME=" + cache.Path().string()};
    EXPECT_EQ(Scan({"--vendor-cache-hours", "1"}, environment), first);
    EXPECT_EQ(Scan({"--vendor-cache-hours", "1"}, environment), first);
    EXPECT_EQ(RequestsSinceStart({{kNewer, 2}, {kOlder, 2}}), (std::map<std::string, int>{{kNewer, 2}, {kOlder, 2}}));
    // Without the option the cache is not looked at.
    EXPECT_EQ(Scan({}, environment), first);
    EXPECT_EQ(RequestsSinceStart({{kNewer, 3}, {kOlder, 3}}), (std::map<std::string, int>{{kNewer, 3}, {kOlder, 3}}));
}

} // namespace
