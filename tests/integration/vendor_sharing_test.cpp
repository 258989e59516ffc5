// Whole searches whose update checks share the vendor's answers, against the simulator's vendor
// server in a network namespace of the test's own: ten jobs at once, one request per distinct
// firmware, as the simulator's request log shows.
#include "firmware/update_check.h"
#include "firmware/vendor_answers.h"
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

constexpr const char* kVendor = R"(vendor 10.99.0.1
latest 17 16 4.30
latest 7 16 4.30
)";

// Plays twelve legacy adapters without their pages: ten LX300 16MB with firmware 4.26 and two
// LX300 with 4.28, all of OEM 16, filled as the legacy probe fills them; the update check is the
// real one, through the search's shared answers when there are any.
JobProbes StandInProbes(VendorAnswers* answers)
{
    JobProbes probes;
    ProbeFamily legacy;
    legacy.port = [](bool) -> std::uint16_t { return 80; };
    legacy.probe = [](const ProbeTarget& target, DeviceRecord& record) {
        const int host = target.address.Host();
        const bool other = host > 10;
        record.found = true;
        record.model = other ? "LX300" : "LX300 16MB";
        record.firmware = other ? "4.28" : "4.26";
        record.oem = "16";
        record.mac = "00:0A:9C:00:00:" + std::to_string(10 + host);
        record.updateState = 0;
        record.deviceId = -1;
        return ProbeResult{true, other ? "428" : "426"};
    };
    probes.families = {legacy};
    probes.updateCheck = [answers](const ProbeTarget& target, DeviceRecord& record, const std::string& compactVersion) {
        return CheckFirmwareUpdate(record.model, &record, compactVersion, record.oem,
                                   UpdateCheckContext{"10.99.0.1", target.stop, answers});
    };
    return probes;
}

class VendorSharing : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        trawlix::SetLanguage(trawlix::Language::English);
        folder_ = new testsupport::TempFolder;
        std::string failed;
        ASSERT_TRUE(testsupport::AddNetworkAddresses(kVendor, &failed)) << failed;
        logPath_ = (folder_->Path() / "requests.log").string();
        sim_ = new testsupport::ChildProcess(TRAWLIX_SIM_PATH,
                                             {folder_->WriteFile("vendor.net", kVendor).string(), "--log", logPath_});
        ASSERT_TRUE(sim_->WaitForOutput("ready", 30s)) << sim_->Errors();
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete folder_;
    }

    // The update requests the vendor answered: request target -> how often. The simulator logs
    // a request just after its answer has gone out, so the log may lag a little behind.
    static std::map<std::string, int> VendorRequests(const std::map<std::string, int>& expected)
    {
        std::map<std::string, int> out;
        for (int attempt = 0; attempt < 100; ++attempt) {
            out.clear();
            std::istringstream lines(testsupport::TempFolder::ReadFile(logPath_));
            std::string address, method, target, status;
            while (lines >> address >> method >> target >> status)
                if (target.rfind("/cgi-bin/kvt_update.cgi", 0) == 0)
                    ++out[target];
            if (out == expected)
                break;
            std::this_thread::sleep_for(20ms);
        }
        return out;
    }

    // Searches twelve addresses with ten jobs at once; the records by address.
    static std::map<std::string, DeviceRecord> Search(VendorAnswers* answers)
    {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        std::map<std::string, DeviceRecord> records;
        scan::Search search([&](const DeviceRecord& record) {
            std::lock_guard lock(mutex);
            if (record.endOfSearch)
                done = true;
            else
                records[record.ip] = record;
            ended.notify_all();
        });
        scan::SearchPlan plan;
        plan.networks = scan::NetworkList({*scan::ParseNetwork("10.60.0.*")}, 1, 12);
        plan.probes = StandInProbes(answers);
        plan.scanDefaultAddress = false;
        plan.discovery = false;
        plan.jobs = 10;
        EXPECT_TRUE(search.Start(plan));
        {
            std::unique_lock lock(mutex);
            EXPECT_TRUE(ended.wait_for(lock, 60s, [&] { return done; }));
        }
        search.Stop();
        return records;
    }

    static testsupport::TempFolder* folder_;
    static testsupport::ChildProcess* sim_;
    static std::string logPath_;
};

testsupport::TempFolder* VendorSharing::folder_ = nullptr;
testsupport::ChildProcess* VendorSharing::sim_ = nullptr;
std::string VendorSharing::logPath_;

TEST_F(VendorSharing, OneRequestPerFirmwareAndSearchWithTheSameResults)
{
    const std::string newer = "/cgi-bin/kvt_update.cgi?ver=426&oem=16&dev=17";
    const std::string older = "/cgi-bin/kvt_update.cgi?ver=428&oem=16&dev=7";

    const std::map<std::string, DeviceRecord> alone = Search(nullptr);
    const std::map<std::string, int> one = {{newer, 10}, {older, 2}};
    EXPECT_EQ(VendorRequests(one), one);

    VendorAnswers answers;
    const std::map<std::string, DeviceRecord> shared = Search(&answers);
    const std::map<std::string, int> two = {{newer, 11}, {older, 3}};
    EXPECT_EQ(VendorRequests(two), two);
    EXPECT_EQ(answers.Counts().requests, 2u);
    EXPECT_EQ(answers.Counts().shared, 10u);

    ASSERT_EQ(alone.size(), 12u);
    EXPECT_EQ(shared, alone);
    EXPECT_EQ(shared.at("10.60.0.1").updateText, "Available (4.30)");
    EXPECT_EQ(shared.at("10.60.0.11").updateText, "Available (4.30)");
    EXPECT_EQ(shared.at("10.60.0.11").deviceId, 7);

    // The next search asks again: answers are shared within one search only.
    VendorAnswers next;
    Search(&next);
    const std::map<std::string, int> three = {{newer, 12}, {older, 4}};
    EXPECT_EQ(VendorRequests(three), three);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!testsupport::EnterPrivateNetworkOrSaySkipped())
        return testsupport::kSkippedExitCode;
    return RUN_ALL_TESTS();
}
