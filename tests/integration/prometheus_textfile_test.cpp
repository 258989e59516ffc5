// The way from a search to the central monitoring: a real search of the simulated sample network,
// its Prometheus text written as trawlix-search.service writes it into node_exporter's textfile
// folder, and Prometheus' HTTP API showing every adapter with its update state. Both servers are
// Debian's own, started and stopped by the test in its private network namespace, Prometheus
// with the example rules loaded.
#include "cli/output_file.h"
#include "cli/prometheus_output.h"
#include "probe/job_probes.h"
#include "prometheus_stack.h"
#include "resources/string_table.h"
#include "scan/search.h"
#include "testsupport/private_network.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using testsupport::PrometheusStack;

// The adapters of the sample network, searched by the real probes.
std::vector<DeviceRecord> SearchSampleNetwork()
{
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::vector<DeviceRecord> found;
    scan::Search search([&](const DeviceRecord& record) {
        std::lock_guard lock(mutex);
        if (record.endOfSearch)
            done = true;
        else if (record.found)
            found.push_back(record);
        ended.notify_all();
    });
    scan::SearchPlan plan;
    plan.networks = scan::NetworkList({*scan::ParseNetwork("192.168.77.*")}, 1, 254);
    plan.probes = MakeJobProbes(ProbeConfig{"10.99.0.1"});
    EXPECT_TRUE(search.Start(plan));
    {
        std::unique_lock lock(mutex);
        EXPECT_TRUE(ended.wait_for(lock, 120s, [&] { return done; }));
    }
    search.Stop();
    return found;
}

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// ip -> the label `name` of every series in `result`.
std::map<std::string, std::string> ByAddress(const Json::Value& result, const std::string& name)
{
    std::map<std::string, std::string> out;
    for (const Json::Value& series : result)
        out[series["metric"]["ip"].asString()] = series["metric"][name].asString();
    return out;
}

TEST(PrometheusTextfile, EverySimulatedAdapterReachesPrometheusThroughNodeExporter)
{
    if (!PrometheusStack::Installed())
        GTEST_SKIP() << "prometheus and prometheus-node-exporter are not installed";
    trawlix::SetLanguage(trawlix::Language::English);
    const std::string network = ReadWhole(std::string(TRAWLIX_SIM_NETWORKS) + "/sample.net");
    std::string failed;
    ASSERT_TRUE(testsupport::AddNetworkAddresses(network, &failed)) << failed;
    testsupport::TempFolder folder;
    testsupport::ChildProcess sim(TRAWLIX_SIM_PATH, {folder.WriteFile("sample.net", network).string()});
    ASSERT_TRUE(sim.WaitForOutput("ready", 30s)) << sim.Errors();

    std::string why;
    const auto stack = PrometheusStack::Start(TRAWLIX_RULES_FILE, why);
    ASSERT_TRUE(stack) << why;
    std::printf("node_exporter and Prometheus ready after %lld ms\n",
                static_cast<long long>(stack->StartTime().count()));

    // Over HTTPS: the one LX400 that serves HTTP only is not among them.
    std::vector<DeviceRecord> records = SearchSampleNetwork();
    ASSERT_EQ(records.size(), 8u);
    // One more with a location as a hostile adapter might send it.
    DeviceRecord hostile =
        *std::find_if(records.begin(), records.end(), [](const DeviceRecord& r) { return r.ip == "10.10.10.10"; });
    hostile.ip = "192.168.77.200";
    hostile.jsonApi = true;
    hostile.location = "Rack \"B\" \\ 2\nnext to \xE2\x80\x8Bthe door";
    records.push_back(hostile);
    const std::string file = (stack->TextfileFolder() / "trawlix.prom").string();
    ASSERT_EQ(WriteOutputFile(file, FormatPrometheus(records, SearchSummary{255, 2.5, true, 1700000000}), stderr), 0);

    const Json::Value info = stack->WaitForResults("trawlix_adapter_info", 9);
    ASSERT_EQ(info.size(), 9u) << stack->Logs();
    const auto model = ByAddress(info, "model");
    EXPECT_EQ(model.at("10.10.10.10"), "LX300");
    EXPECT_EQ(model.at("192.168.77.12"), "LX300 RS485");
    EXPECT_EQ(model.at("192.168.77.51"), ""); // refused the login
    const auto location = ByAddress(info, "location");
    EXPECT_EQ(location.at("192.168.77.41"), "Lagerhalle S\xC3\xBC"
                                            "d"); // Latin-1 on the adapter's page
    EXPECT_EQ(location.at("192.168.77.50"), "Rechenzentrum N\xC3\xBCrnberg");
    EXPECT_EQ(location.at("192.168.77.200").substr(0, 21), "Rack \"B\" \\ 2 next to ");
    EXPECT_EQ(ByAddress(info, "family").at("192.168.77.50"), "lx400");
    EXPECT_EQ(ByAddress(info, "family").at("192.168.77.40"), "legacy");

    const auto state = ByAddress(stack->Query("trawlix_adapter_update_state == 1"), "state");
    EXPECT_EQ(state, (std::map<std::string, std::string>{{"10.10.10.10", "available"},
                                                         {"192.168.77.11", "available"},
                                                         {"192.168.77.12", "up_to_date"},
                                                         {"192.168.77.23", "not_possible"},
                                                         {"192.168.77.40", "up_to_date"},
                                                         {"192.168.77.41", "available"},
                                                         {"192.168.77.50", "available"},
                                                         {"192.168.77.51", "unknown"},
                                                         {"192.168.77.200", "available"}}));
    EXPECT_EQ(stack->Query("trawlix_adapter_login_refused").size(), 1u);
    EXPECT_EQ(stack->Query("trawlix_search_success == 1").size(), 1u);
    EXPECT_EQ(stack->Query("node_textfile_scrape_error == 0").size(), 1u);

    // The next search's file replaces the first one whole; a failed search after it keeps its
    // adapters and says so.
    records.pop_back();
    ASSERT_EQ(WriteOutputFile(file, FormatPrometheus(records, SearchSummary{255, 2.5, true, 1700000900}), stderr), 0);
    EXPECT_EQ(stack->WaitForResults("trawlix_adapter_info", 8).size(), 8u);
    const std::string previous = ReadWhole(file);
    ASSERT_EQ(WriteOutputFile(file, FormatPrometheusAfterFailure(previous, SearchSummary{255, 0.1, false, 1700001800}),
                              stderr),
              0);
    EXPECT_EQ(stack->WaitForResults("trawlix_search_success == 0", 1).size(), 1u);
    EXPECT_EQ(stack->Query("trawlix_adapter_info").size(), 8u);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!testsupport::EnterPrivateNetworkOrSaySkipped())
        return testsupport::kSkippedExitCode;
    return RUN_ALL_TESTS();
}
