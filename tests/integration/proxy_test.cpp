// Searches with a proxy in the environment, inside a network namespace of the test's own, as on a
// company laptop: adapters are reached directly whatever the proxy variables say, the vendor's
// server through the proxy they name, and the knock still judges every address.
#include "probe/job_probes.h"
#include "resources/string_table.h"
#include "scan/search.h"
#include "testsupport/child_process.h"
#include "testsupport/private_network.h"
#include "testsupport/recording_proxy.h"
#include "testsupport/scoped_environment.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

// .4 to .12 are silent: routed into a tun device nobody reads.
constexpr const char* kNetwork = R"(# A site's adapter LAN
legacy 10.70.0.1 plain-width hardware=LX300 16MB|firmware=LX200 v 4.26.16|mac=00:0A:9C:70:00:01|manufacturer=Voltara|location=Legacy
lx400 10.70.0.2 https name=LX400|version=V1.78.12|manufacturer=Voltara|location=LX400|mac=00:0A:9C:70:00:02
legacy 10.70.0.3 plain-width hardware=LX300 16MB|firmware=LX200 v 4.26.16|mac=00:0A:9C:70:00:03|manufacturer=Voltara|location=Moved to HTTPS|moved=https://10.70.0.3/net.shtml|tls=modern
vendor 10.99.0.5
latest 17 16 4.30
latest LX400 12 1.80
)";
constexpr const char* kVendor = "10.99.0.5";
const std::set<std::string> kAdapters{"10.70.0.1", "10.70.0.2", "10.70.0.3"};
// Nothing listens there: every connect to it is refused.
constexpr const char* kDeadProxy = "http://127.0.0.1:9";

class ProxyEnvironment : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder_ = new testsupport::TempFolder;
        std::string failed;
        ASSERT_TRUE(testsupport::AddNetworkAddresses(kNetwork, &failed)) << failed;
        ASSERT_TRUE(testsupport::RouteSilentNetwork("10.70.0.0/24"));
        sim_ = new ChildProcess(TRAWLIX_SIM_PATH, {folder_->WriteFile("site.net", kNetwork).string()});
        ASSERT_TRUE(sim_->WaitForOutput("ready", 30s)) << sim_->Errors();
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete folder_;
    }

    static testsupport::TempFolder* folder_;
    static ChildProcess* sim_;
};

testsupport::TempFolder* ProxyEnvironment::folder_ = nullptr;
ChildProcess* ProxyEnvironment::sim_ = nullptr;

Json::Value ParseJson(const std::string& text)
{
    Json::Value root;
    std::string errors;
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &root, &errors)) << text;
    return root;
}

TEST_F(ProxyEnvironment, EveryProxyVariableLeavesTheAdaptersDirect)
{
    struct Case
    {
        std::vector<std::string> environment; // "P" stands for the recording proxy's address
        bool vendorThroughProxy;
        bool vendorAnswers = true;
    };
    std::vector<Case> cases = {
        {{"http_proxy=P"}, true},
        {{"HTTP_PROXY=P"}, false}, // the client never takes the upper-case one for http
        {{"https_proxy=P"}, false},
        {{"HTTPS_PROXY=P"}, false},
        {{"all_proxy=P"}, true},
        {{"ALL_PROXY=P"}, true},
        {{"http_proxy=P", "https_proxy=P", "no_proxy=10.70.0.0/24"}, true},
        {{"http_proxy=P", "https_proxy=P", "NO_PROXY=example.com"}, true},
        {{"http_proxy=P", "all_proxy=P", "no_proxy=10.99.0.5"}, false},
        {{"all_proxy=socks5h://127.0.0.1:9"}, false, false},
    };
    Case dead{{}, false, false};
    for (const auto& [name, value] : testsupport::EveryProxyVariable(kDeadProxy))
        dead.environment.push_back(name + "=" + value);
    cases.push_back(dead);

    // Every search at once, each with a proxy of its own.
    std::vector<std::unique_ptr<testsupport::RecordingProxy>> proxies;
    std::vector<std::unique_ptr<ChildProcess>> scans;
    for (Case& c : cases) {
        proxies.push_back(std::make_unique<testsupport::RecordingProxy>());
        for (std::string& entry : c.environment) {
            if (entry.substr(entry.find('=') + 1) == "P")
                entry = entry.substr(0, entry.find('=') + 1) + proxies.back()->Url();
        }
        scans.push_back(std::make_unique<ChildProcess>(
            TRAWLIX_SCAN_PATH,
            std::vector<std::string>{"--format", "json", "--lang", "en", "--no-default-address", "--update-server",
                                     kVendor, "--last", "12", "10.70.0.*"},
            c.environment));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        std::string described;
        for (const std::string& entry : c.environment)
            described += entry + " ";
        ChildProcess& scan = *scans[i];
        ASSERT_TRUE(scan.Wait(120s)) << described;
        EXPECT_EQ(scan.ExitCode(), 0) << described << scan.Errors();

        std::set<std::string> listed;
        for (const Json::Value& row : ParseJson(scan.Output())) {
            listed.insert(row["ip"].asString());
            const bool legacy = row["ip"].asString() != "10.70.0.2";
            EXPECT_EQ(row["updateText"].asString(), !c.vendorAnswers ? "Info N/A"
                                                    : legacy         ? "Available (4.30)"
                                                                     : "Available (1.80)")
                << described << row["ip"].asString();
        }
        EXPECT_EQ(listed, kAdapters) << described;

        const std::vector<std::string> hosts = proxies[i]->Hosts();
        EXPECT_EQ(!hosts.empty(), c.vendorThroughProxy) << described;
        for (const std::string& host : hosts)
            EXPECT_EQ(host, kVendor) << described << ": an adapter request went through the proxy";
    }
}

// One search of 10.70.0.1 to .12 with the real probes and knock: the knock's verdict on every
// address, the addresses that got a probe job, and those listed.
struct Watched
{
    std::map<std::string, KnockVerdict> verdicts;
    std::set<std::string> jobs;
    std::set<std::string> found;
};

Watched SearchWatched()
{
    trawlix::SetLanguage(trawlix::Language::English);
    const JobProbes real = MakeJobProbes(ProbeConfig{kVendor});
    JobProbes probes = real;
    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;
    Watched watched;
    probes.knock = [&](const std::vector<Ipv4Address>& addresses, bool useHttps,
                       const std::function<bool()>& stopRequested, const KnockReport& report) {
        real.knock(addresses, useHttps, stopRequested, [&](std::size_t index, KnockOutcome outcome) {
            {
                std::lock_guard lock(mutex);
                watched.verdicts[addresses[index].Text()] = outcome.verdict;
            }
            report(index, std::move(outcome));
        });
    };
    // A job tries a family unless the knock found its port dead, so some family of every job runs.
    for (std::size_t i = 0; i < probes.families.size(); ++i) {
        probes.families[i].probe = [&, i](const ProbeTarget& target, DeviceRecord& record) {
            {
                std::lock_guard lock(mutex);
                watched.jobs.insert(target.address.Text());
            }
            return real.families[i].probe(target, record);
        };
    }
    scan::Search search([&](const DeviceRecord& record) {
        std::lock_guard lock(mutex);
        if (record.endOfSearch)
            ended = true;
        else if (record.found)
            watched.found.insert(record.ip);
        changed.notify_all();
    });
    scan::SearchPlan plan;
    plan.networks = scan::NetworkList({*scan::ParseNetwork("10.70.0.*")}, 1, 12);
    plan.scanDefaultAddress = false;
    plan.probes = probes;
    EXPECT_TRUE(search.Start(plan));
    {
        std::unique_lock lock(mutex);
        EXPECT_TRUE(changed.wait_for(lock, 120s, [&] { return ended; }));
    }
    search.Stop();
    return watched;
}

TEST_F(ProxyEnvironment, TheKnockJudgesEveryAddressWithADeadProxySet)
{
    const testsupport::ScopedEnvironment environment(testsupport::EveryProxyVariable(kDeadProxy));
    const Watched run = SearchWatched();
    EXPECT_EQ(run.found, kAdapters);
    // Only the adapters got a probe job; the knock ruled out the silent addresses.
    EXPECT_EQ(run.jobs, kAdapters);
    ASSERT_EQ(run.verdicts.size(), 12u);
    for (const auto& [address, verdict] : run.verdicts)
        EXPECT_EQ(verdict, kAdapters.count(address) ? KnockVerdict::Answered : KnockVerdict::Silent) << address;
}

} // namespace
