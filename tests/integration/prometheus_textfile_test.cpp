// The way from a site to the central monitoring: trawlix-search.service's own command line, with
// the unit's options, run against the simulated sample network and two adapters with hostile
// texts; its file lands in node_exporter's textfile folder, and Prometheus' HTTP API shows every
// adapter with its update state. A search stopped as the timer's time-out stops it keeps the
// adapters and says it failed. Both servers are Debian's own, started and stopped by the test in
// its private network namespace, Prometheus with the example rules loaded.
#include "prometheus_stack.h"
#include "testsupport/private_network.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <map>
#include <sstream>

#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::PrometheusStack;
using testsupport::TempFolder;

// A legacy page and an LX400 whose locations hold quotes, backslashes, a line break (a character
// reference on the page), an override, control characters and bytes that are no UTF-8; and a host
// that answers nothing, which holds a search until its knock gives up.
constexpr const char* kHostile =
    "legacy 192.168.77.200 plain hardware=LX300|firmware=LX200 v 4.26.16|mac=00:0A:9C:12:34:C8|"
    "location=Rack &quot;B&quot; \\ 2&#10;next to&#x202E;door\x1B[31m\n"
    "lx400 192.168.77.201 https name=LX400|version=V1.78.12|mac=00:0A:9C:40:00:C9|"
    "location=Halle \"3\" \\ \xFF\xFE S\xC3\xBC"
    "d\x01\n"
    "host 192.168.78.1 silent\n";

// The ExecStart= line of the service as words, its continuation lines joined.
std::vector<std::string> ServiceCommand()
{
    std::istringstream unit(TempFolder::ReadFile(TRAWLIX_SERVICE_FILE));
    std::string joined;
    for (std::string line; std::getline(unit, line);) {
        if (joined.empty() && line.rfind("ExecStart=", 0) != 0)
            continue;
        joined += line;
        if (joined.back() != '\\')
            break;
        joined.back() = ' ';
    }
    std::istringstream words(joined.substr(joined.find('=') + 1));
    std::vector<std::string> command;
    for (std::string word; words >> word;)
        command.push_back(word);
    return command;
}

// The service's command line on this machine: the built program, the test's networks file and
// textfile folder, and the site options of /etc/default/trawlix-search.
ChildProcess* StartService(const std::string& networks, const std::string& textfile, const std::string& cache)
{
    std::vector<std::string> command = ServiceCommand();
    EXPECT_GT(command.size(), 1u);
    std::vector<std::string> args;
    for (std::size_t i = 1; i < command.size(); ++i) {
        const std::string& word = command[i];
        if (word == "/etc/trawlix/networks")
            args.push_back(networks);
        else if (word == "/var/lib/prometheus/node-exporter/trawlix.prom")
            args.push_back(textfile);
        else if (word == "$TRAWLIX_SEARCH_OPTIONS")
            args.insert(args.end(), {"--update-server", "10.99.0.1"});
        else
            args.push_back(word);
    }
    EXPECT_EQ(command.front(), "/usr/bin/trawlix-scan");
    // The unit's Environment= and CacheDirectory=.
    return new ChildProcess(TRAWLIX_SCAN_PATH, args, {"XDG_CACHE_HOME=" + cache, "LANG=C.UTF-8"});
}

// ip -> the label `name` of every series in `result`.
std::map<std::string, std::string> ByAddress(const Json::Value& result, const std::string& name)
{
    std::map<std::string, std::string> out;
    for (const Json::Value& series : result)
        out[series["metric"]["ip"].asString()] = series["metric"][name].asString();
    return out;
}

// promtool's verdict on a metrics file: "ok", or what it said.
std::string Promtool(const std::string& file)
{
    ChildProcess promtool("/bin/sh", {"-c", "exec /usr/bin/promtool check metrics < '" + file + "'"});
    EXPECT_TRUE(promtool.Wait(30s));
    return promtool.ExitCode() == 0 ? std::string("ok") : promtool.Output() + promtool.Errors();
}

TEST(PrometheusTextfile, TheSiteSearchShowsEverySimulatedAdapterInPrometheus)
{
    if (!PrometheusStack::Installed())
        GTEST_SKIP() << "prometheus and prometheus-node-exporter are not installed";
    const std::string network = TempFolder::ReadFile(std::string(TRAWLIX_SIM_NETWORKS) + "/sample.net") + kHostile;
    std::string failed;
    ASSERT_TRUE(testsupport::AddNetworkAddresses(network, &failed)) << failed;
    TempFolder folder;
    ChildProcess sim(TRAWLIX_SIM_PATH, {folder.WriteFile("sample.net", network).string()});
    ASSERT_TRUE(sim.WaitForOutput("ready", 30s)) << sim.Errors();

    std::string why;
    const auto stack = PrometheusStack::Start(TRAWLIX_RULES_FILE, why);
    ASSERT_TRUE(stack) << why;
    std::printf("node_exporter and Prometheus ready after %lld ms\n",
                static_cast<long long>(stack->StartTime().count()));

    // The site's networks in the shipped example file, its examples still commented out.
    const std::string shipped = TempFolder::ReadFile(TRAWLIX_NETWORKS_FILE);
    const std::string networks =
        folder.WriteFile("networks", shipped + "192.168.77.*  # the sample network\n").string();
    const std::string textfile = (stack->TextfileFolder() / "trawlix.prom").string();
    const std::string cache = (folder.Path() / "cache").string();
    {
        const std::unique_ptr<ChildProcess> search(StartService(networks, textfile, cache));
        ASSERT_TRUE(search->Wait(120s));
        ASSERT_EQ(search->ExitCode(), 0) << search->Errors();
        EXPECT_EQ(search->Output(), "");
    }
    if (access("/usr/bin/promtool", X_OK) == 0) {
        EXPECT_EQ(Promtool(textfile), "ok") << TempFolder::ReadFile(textfile);
    }

    // Over HTTPS: the one LX400 that serves HTTP only is not among them; the factory address is
    // not searched by the site's timer.
    const Json::Value info = stack->WaitForResults("trawlix_adapter_info", 9);
    ASSERT_EQ(info.size(), 9u) << stack->Logs() << TempFolder::ReadFile(textfile);
    const auto model = ByAddress(info, "model");
    EXPECT_EQ(model.count("10.10.10.10"), 0u);
    EXPECT_EQ(model.at("192.168.77.12"), "LX300 RS485");
    EXPECT_EQ(model.at("192.168.77.51"), ""); // refused the login
    const auto location = ByAddress(info, "location");
    EXPECT_EQ(location.at("192.168.77.41"), "Lagerhalle S\xC3\xBC"
                                            "d"); // Latin-1 on the adapter's page
    EXPECT_EQ(location.at("192.168.77.50"), "Rechenzentrum N\xC3\xBCrnberg");
    EXPECT_EQ(location.at("192.168.77.200"), "Rack \"B\" \\ 2 next to<U+202E>door [31m");
    EXPECT_EQ(location.at("192.168.77.201"), "Halle \"3\" \\ \xEF\xBF\xBD\xEF\xBF\xBD S\xC3\xBC"
                                             "d ");
    EXPECT_EQ(ByAddress(info, "family").at("192.168.77.50"), "lx400");
    EXPECT_EQ(ByAddress(info, "family").at("192.168.77.40"), "legacy");

    const auto state = ByAddress(stack->Query("trawlix_adapter_update_state == 1"), "state");
    EXPECT_EQ(state, (std::map<std::string, std::string>{{"192.168.77.11", "available"},
                                                         {"192.168.77.12", "up_to_date"},
                                                         {"192.168.77.23", "not_possible"},
                                                         {"192.168.77.40", "up_to_date"},
                                                         {"192.168.77.41", "available"},
                                                         {"192.168.77.50", "available"},
                                                         {"192.168.77.51", "unknown"},
                                                         {"192.168.77.200", "available"},
                                                         {"192.168.77.201", "available"}}));
    EXPECT_EQ(stack->Query("trawlix_adapter_login_refused").size(), 1u);
    EXPECT_EQ(stack->Query("trawlix_search_adapters == 9").size(), 1u);
    EXPECT_EQ(stack->Query("trawlix_search_addresses == 254").size(), 1u);
    EXPECT_EQ(stack->Query("trawlix_search_success == 1").size(), 1u);
    EXPECT_EQ(stack->Query("node_textfile_scrape_error == 0").size(), 1u);

    // The timer's time-out: systemd sends SIGTERM while the silent host holds the search. The
    // file keeps the adapters and says the search failed.
    folder.WriteFile("networks", shipped + "192.168.77.*\n192.168.78.1/32\n");
    {
        const std::unique_ptr<ChildProcess> search(StartService(networks, textfile, cache));
        ASSERT_TRUE(search->WaitUntilCatching(SIGTERM, 10s));
        search->Signal(SIGTERM);
        ASSERT_TRUE(search->Wait(60s));
        EXPECT_EQ(search->ExitCode(), 143) << search->Errors();
    }
    EXPECT_EQ(stack->WaitForResults("trawlix_search_success == 0", 1).size(), 1u) << TempFolder::ReadFile(textfile);
    EXPECT_EQ(stack->Query("trawlix_adapter_info").size(), 9u);
    EXPECT_EQ(stack->Query("trawlix_search_adapters == 9").size(), 1u);
    EXPECT_EQ(stack->Query("node_textfile_scrape_error == 0").size(), 1u);
}

} // namespace
