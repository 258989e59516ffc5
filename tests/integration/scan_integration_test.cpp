// Whole searches against trawlix-sim in a network namespace of the test's own: the core engine
// with the real probes, and the trawlix-scan program as a technician runs it.
#include "probe/job_probes.h"
#include "resources/string_table.h"
#include "scan/scan_lock.h"
#include "scan/search.h"
#include "testsupport/child_process.h"
#include "testsupport/loopback_http_server.h"
#include "testsupport/private_network.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <tuple>

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

constexpr const char* kNetwork = R"(# Test network
legacy 10.10.10.10 plain-width hardware=LX300|firmware=LX200 v 4.10.16|mac=00:00:00:00:00:10|manufacturer=Voltara|location=Factory
legacy 10.55.0.11 plain hardware=LX300 16MB|firmware=LX200 v 4.26.16|mac=00:00:00:00:00:11|manufacturer=Voltara|location=A
legacy 10.55.0.12 script-width hardware=LX300 RS485|firmware=LX200 v 4.30.5|mac=00:00:00:00:00:12|manufacturer=Kessler|location=B
legacy 10.55.0.13 script hardware=LX300|firmware=LX200 v 3.95|mac=00:00:00:00:00:13|manufacturer=Voltara|location=C
legacy 10.55.0.14 plain-width hardware=LX300|firmware=LX200 v 4.26.16|mac=00:00:00:00:00:14|manufacturer=Voltara|location=Süd|charset=utf-8
legacy 10.55.0.15 plain-width hardware=lx300|firmware=LX200 v 4.26.16|mac=00:00:00:00:00:15|manufacturer=Voltara|location=E
lx400 10.55.0.21 https name=LX400|version=V1.78.12|manufacturer=Voltara|location=Nürnberg|mac=00:00:00:00:00:21
lx400 10.55.0.22 https name=LX400|version=V1.78.12|password=other
lx400 10.55.0.23 http name=LX400|version=V2.01.3|manufacturer=null|location=~|mac=|topmac=00:00:00:00:00:23
lx400 10.55.0.24 https name=LX400|info=not-object
lx400 10.55.0.25 https name=LX400|info=array-member
lx400 10.55.0.26 https name=LX400|config=malformed
legacy 10.58.0.5 plain hardware=LX300|firmware=LX200 v 4.26.16|mac=00:00:00:00:01:05|manufacturer=Voltara|location=Annex
lx400 10.58.1.20 https name=LX400|version=V1.78.12|manufacturer=Voltara|location=Annex 2|mac=00:00:00:00:02:20
host 10.55.0.32 huge
host 10.55.0.33 bad-utf8
host 10.55.0.34 router
host 10.55.0.35 error404
host 10.55.0.36 error500
host 10.55.0.37 notfound
host 10.55.0.38 nested-json
host 10.55.0.39 malformed-json
host 10.57.0.1 silent
host 10.57.0.2 silent
host 10.57.0.3 silent
host 10.57.0.4 silent
host 10.57.0.5 silent
host 10.57.0.6 trickle
host 10.57.0.7 trickle
host 10.57.0.8 trickle
host 10.57.0.9 trickle
host 10.57.0.10 trickle
vendor 10.99.0.1
latest 17 16 4.30
latest 7 5 4.30
latest 7 16 4.30
latest LX400 12 1.80
)"
                                 // Locations that would reorder or hide text: a right-to-left
                                 // override raw in UTF-8, as a reference on the page and in JSON,
                                 // and a soft hyphen in Latin-1.
                                 "legacy 10.59.0.1 plain hardware=LX300|firmware=LX200 v 4.26.16|mac=00:00:00:00:05:01|"
                                 "location=Rack \xE2\x80\xAE"
                                 "1 B|charset=utf-8\n"
                                 "legacy 10.59.0.2 plain hardware=LX300|firmware=LX200 v 4.26.16|mac=00:00:00:00:05:02|"
                                 "location=Rack &#x202E;2\n"
                                 "lx400 10.59.0.3 https name=LX400|version=V1.78.12|mac=00:00:00:00:05:03|"
                                 "location=Hall \xE2\x80\xAE"
                                 "3\n"
                                 "legacy 10.59.0.4 plain hardware=LX300|firmware=LX200 v 4.26.16|mac=00:00:00:00:05:04|"
                                 "location=Schalt\xADraum\n";

// The simulator and its request log, shared by every test of the suite.
class SimulatedNetwork : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder_ = new testsupport::TempFolder;
        std::string failed;
        ASSERT_TRUE(testsupport::AddNetworkAddresses(kNetwork, &failed)) << failed;
        const auto file = folder_->WriteFile("test.net", kNetwork);
        logPath_ = (folder_->Path() / "requests.log").string();
        sim_ = new ChildProcess(TRAWLIX_SIM_PATH, {file.string(), "--log", logPath_});
        ASSERT_TRUE(sim_->WaitForOutput("ready", 30s)) << sim_->Errors();
    }

    static void TearDownTestSuite()
    {
        delete sim_;
        delete folder_;
    }

    // Requests the simulator answered: address -> "METHOD PATH" lines.
    static std::multimap<std::string, std::string> Requests()
    {
        std::multimap<std::string, std::string> out;
        std::istringstream lines(testsupport::TempFolder::ReadFile(logPath_));
        std::string address, method, path, status;
        while (lines >> address >> method >> path >> status)
            out.emplace(address, method + " " + path);
        return out;
    }

    static testsupport::TempFolder* folder_;
    static ChildProcess* sim_;
    static std::string logPath_;
};

testsupport::TempFolder* SimulatedNetwork::folder_ = nullptr;
ChildProcess* SimulatedNetwork::sim_ = nullptr;
std::string SimulatedNetwork::logPath_;

// Collects the records of a search like the main window does.
struct Collector
{
    void Take(const DeviceRecord& record)
    {
        std::lock_guard lock(mutex);
        if (record.endOfSearch)
            ended = true;
        else
            records[record.ip] = record;
        if (ended && !record.endOfSearch)
            ++afterEnd;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, DeviceRecord> records;
    bool ended = false;
    int afterEnd = 0;
};

// Runs a search of `plan` into `window` until its end.
void RunSearch(Collector& window, const scan::SearchPlan& plan)
{
    scan::Search search([&window](const DeviceRecord& record) { window.Take(record); });
    ASSERT_TRUE(search.Start(plan));
    std::unique_lock lock(window.mutex);
    ASSERT_TRUE(window.changed.wait_for(lock, 240s, [&] { return window.ended; }));
    lock.unlock();
    search.Stop();
}

// Searches 10.10.10.10 and 10.55.0.1-254 over HTTPS with `probes` and waits for the end.
void SearchTestNetwork(Collector& window, const JobProbes& probes, bool discovery)
{
    scan::SearchPlan plan;
    plan.networks = scan::NetworkList({*scan::ParseNetwork("10.55.0.*")}, 1, 254);
    plan.probes = probes;
    plan.discovery = discovery;
    RunSearch(window, plan);
}

TEST_F(SimulatedNetwork, CoreSearchFindsEveryAdapterOnceWithTheRealProbes)
{
    trawlix::SetLanguage(trawlix::Language::English);
    // The real probes, watched: how many run at once and in which order addresses come.
    const JobProbes real = MakeJobProbes(ProbeConfig{"10.99.0.1"});
    std::mutex mutex;
    int running = 0;
    int peak = 0;
    std::vector<std::string> order;
    std::map<std::string, int> legacyCalls;
    JobProbes watched = real;
    watched.knock = nullptr;
    watched.families[0].probe = [&](const ProbeTarget& target, DeviceRecord& record) {
        {
            std::lock_guard lock(mutex);
            peak = std::max(peak, ++running);
            order.push_back(target.address.Text());
            ++legacyCalls[target.address.Text()];
        }
        const ProbeResult result = real.families[0].probe(target, record);
        std::lock_guard lock(mutex);
        --running;
        return result;
    };

    Collector window;
    ASSERT_NO_FATAL_FAILURE(SearchTestNetwork(window, watched, true));

    EXPECT_LE(peak, 10);
    // The factory address is started first; the first jobs' threads may reach their probes in
    // any order, so it is among the first wave.
    ASSERT_GE(order.size(), 10u);
    EXPECT_NE(std::find(order.begin(), order.begin() + 10, "10.10.10.10"), order.begin() + 10);
    EXPECT_EQ(legacyCalls.size(), 255u);
    for (const auto& [address, calls] : legacyCalls)
        EXPECT_EQ(calls, 1) << address;
    EXPECT_EQ(window.records.size(), 255u); // one record per address, found or not

    std::map<std::string, DeviceRecord> found;
    for (const auto& [ip, record] : window.records)
        if (record.found)
            found[ip] = record;

    const DeviceRecord& factory = found.at("10.10.10.10");
    EXPECT_EQ(factory.updateText, "Available (4.30)");
    EXPECT_EQ(found.at("10.55.0.11").deviceId, 17);
    EXPECT_EQ(found.at("10.55.0.12").updateText, "Up to date");
    EXPECT_EQ(found.at("10.55.0.12").manufacturer, "Kessler (5)");
    EXPECT_EQ(found.at("10.55.0.13").updateText, "Not possible");
    EXPECT_EQ(found.at("10.55.0.14").location, "S\xFC"
                                               "d"); // re-encoded to Latin-1
    EXPECT_EQ(found.at("10.55.0.15").updateText, "Info N/A");

    const DeviceRecord& lx400 = found.at("10.55.0.21");
    EXPECT_TRUE(lx400.jsonApi);
    EXPECT_EQ(lx400.firmware, "1.78");
    EXPECT_EQ(lx400.location, "N\xC3\xBCrnberg"); // JSON text stays UTF-8
    EXPECT_EQ(lx400.updateText, "Available (1.80)");
    EXPECT_EQ(found.at("10.55.0.22").model, "Access denied!");
    EXPECT_EQ(found.count("10.55.0.23"), 0u); // HTTP only, searched with HTTPS

    // Documents that are not usable, and hostile hosts: no row, and the search still ended.
    for (const char* quiet : {"10.55.0.24", "10.55.0.25", "10.55.0.26", "10.55.0.32", "10.55.0.34", "10.55.0.35",
                              "10.55.0.36", "10.55.0.37", "10.55.0.38", "10.55.0.39"})
        EXPECT_EQ(found.count(quiet), 0u) << quiet;
    // A page declaring UTF-8 that is not keeps its bytes.
    EXPECT_EQ(found.at("10.55.0.33").location, "Lager \xC3\x28\xA0\xFF");

    // Legacy adapters never see the JSON probe; LX400 adapters are asked for their page first.
    const auto requests = Requests();
    for (const char* legacy : {"10.10.10.10", "10.55.0.11", "10.55.0.12", "10.55.0.13", "10.55.0.14"}) {
        const auto [begin, end] = requests.equal_range(legacy);
        ASSERT_NE(begin, end) << legacy;
        for (auto it = begin; it != end; ++it)
            EXPECT_EQ(it->second, "GET /net.shtml") << legacy;
    }
    std::multiset<std::string> lx400Requests;
    const auto [begin, end] = requests.equal_range("10.55.0.21");
    for (auto it = begin; it != end; ++it)
        lx400Requests.insert(it->second);
    EXPECT_EQ(lx400Requests, (std::multiset<std::string>{"POST /api/login", "GET /api/system/info",
                                                         "GET /api/system/network/config"}));
}

// A whole search of 10.55.0.* with the real probes, with or without the discovery pass: the
// records and the addresses that got a job.
struct CoreSearchResult
{
    std::map<std::string, DeviceRecord> records;
    std::set<std::string> jobs;
    std::string firstJob;
};

CoreSearchResult CoreSearch(bool discovery)
{
    trawlix::SetLanguage(trawlix::Language::English);
    const JobProbes real = MakeJobProbes(ProbeConfig{"10.99.0.1"});
    CoreSearchResult result;
    std::mutex mutex;
    // A job tries a family unless the knock found its port dead, so some family of every job runs.
    JobProbes watched = real;
    for (std::size_t i = 0; i < watched.families.size(); ++i) {
        watched.families[i].probe = [&, i](const ProbeTarget& target, DeviceRecord& record) {
            {
                std::lock_guard lock(mutex);
                result.firstJob = result.jobs.empty() ? target.address.Text() : result.firstJob;
                result.jobs.insert(target.address.Text());
            }
            return real.families[i].probe(target, record);
        };
    }
    Collector window;
    SearchTestNetwork(window, watched, discovery);
    EXPECT_EQ(window.afterEnd, 0);
    result.records = window.records;
    return result;
}

TEST_F(SimulatedNetwork, DiscoveryPassListsTheSameRowsAndProbesOnlyAddressesThatAnswered)
{
    // A host that refuses every port; addresses without any host have no route at all.
    ASSERT_TRUE(testsupport::AddLoopbackAddress("10.55.0.40"));
    const CoreSearchResult without = CoreSearch(false);
    const CoreSearchResult with = CoreSearch(true);

    ASSERT_EQ(with.records.size(), 255u);
    ASSERT_EQ(without.records.size(), 255u);
    for (const auto& [ip, record] : without.records) {
        const DeviceRecord& other = with.records.at(ip);
        EXPECT_EQ(std::tie(other.found, other.jsonApi, other.updateState, other.deviceId),
                  std::tie(record.found, record.jsonApi, record.updateState, record.deviceId))
            << ip;
        for (const auto field :
             {&DeviceRecord::model, &DeviceRecord::firmware, &DeviceRecord::updateText, &DeviceRecord::manufacturer,
              &DeviceRecord::mac, &DeviceRecord::location, &DeviceRecord::oem, &DeviceRecord::latestFirmware})
            EXPECT_EQ(other.*field, record.*field) << ip;
    }
    // Without the pass every address gets a job; with it only the simulated hosts, adapters or not.
    EXPECT_EQ(without.jobs.size(), 255u);
    std::set<std::string> served{"10.10.10.10"};
    std::istringstream lines(kNetwork);
    std::string kind, address, rest;
    while (lines >> kind >> address && std::getline(lines, rest)) {
        if (kind != "latest" && kind != "vendor" && address.rfind("10.55.0.", 0) == 0)
            served.insert(address);
    }
    EXPECT_EQ(with.jobs, served);
    EXPECT_EQ(with.firstJob, "10.10.10.10");
    // The addresses the knock ruled out carry its reason: refused on every port, or no answer.
    EXPECT_EQ(with.records.at("10.55.0.40").failure.kind, ProbeFailureKind::Refused);
    EXPECT_EQ(with.records.at("10.55.0.41").failure.kind, ProbeFailureKind::Silent);
    EXPECT_EQ(without.records.at("10.55.0.40").failure.kind, ProbeFailureKind::Refused);
}

TEST_F(SimulatedNetwork, JobsSkipTheRequestsOfADeadPortOnly)
{
    ASSERT_TRUE(testsupport::AddLoopbackAddress("10.55.0.50"));
    testsupport::LoopbackHttpServer server(
        [](const auto&) { return testsupport::LoopbackHttpServer::Respond(404, "nothing here"); }, "10.55.0.50", 80);
    // Legacy page and LX400 login over HTTP share port 80; with HTTPS the login goes to 443. A
    // skipped family gives the knock's reason.
    const ProbeFailure refused{ProbeFailureKind::Refused, "connection refused"};
    const struct
    {
        std::uint16_t dead;
        bool https;
        std::size_t requests;
        const char* reason;
    } cases[] = {{443, false, 2, "LX400 on port 80: the login answered HTTP 404"},
                 {80, false, 0, "connection refused on port 80"},
                 {443, true, 1, "; LX400 on port 443: connection refused"}};
    std::size_t seen = 0;
    for (const auto& c : cases) {
        scan::SearchPlan plan;
        plan.networks = scan::NetworkList({*scan::ParseNetwork("10.55.0.50/32")}, 1, 254);
        plan.scanDefaultAddress = false;
        plan.login.useHttps = c.https;
        plan.probes = MakeJobProbes(ProbeConfig{"10.99.0.1"});
        // A knock that lets the address through with one port dead.
        plan.probes.knock = [&c, refused](const std::vector<Ipv4Address>&, bool, const std::function<bool()>&,
                                          const KnockReport& report) {
            report(0, KnockOutcome{KnockVerdict::Answered, {{c.dead, refused}}, {}});
        };
        Collector window;
        ASSERT_NO_FATAL_FAILURE(RunSearch(window, plan));
        EXPECT_EQ(server.Requests().size() - seen, c.requests) << c.dead << " " << c.https;
        const DeviceRecord& record = window.records.at("10.55.0.50");
        EXPECT_FALSE(record.found);
        EXPECT_NE(record.failure.detail.find(c.reason), std::string::npos) << record.failure.detail;
        seen = server.Requests().size();
    }
}

// Lets a running trawlix-scan work for `after`, then presses Ctrl-C and waits for it to end. The
// time it took to stop is recorded, not judged: bench/ measures it.
void InterruptAfter(ChildProcess& scan, std::chrono::milliseconds after)
{
    ASSERT_TRUE(scan.Started());
    std::this_thread::sleep_for(after);
    ASSERT_FALSE(scan.Wait(0ms)) << "the search ended before the interrupt";
    const auto interrupted = std::chrono::steady_clock::now();
    scan.Signal(SIGINT);
    ASSERT_TRUE(scan.Wait(20s)) << "the search did not stop";
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - interrupted);
    ::testing::Test::RecordProperty("interrupt_ms", static_cast<int>(took.count()));
}

TEST_F(SimulatedNetwork, InterruptDuringThePassEndsTheSearchAtOnce)
{
    if (!testsupport::RouteSilentNetwork("10.60.0.0/24"))
        GTEST_SKIP() << "no tun device";
    ChildProcess scan(TRAWLIX_SCAN_PATH, {"--lang", "en", "--no-progress", "--no-default-address", "--update-server",
                                          "10.99.0.1", "10.60.0.*"});
    // Every address is silent, so the pass waits out its whole connect time-out.
    ASSERT_NO_FATAL_FAILURE(InterruptAfter(scan, 500ms));
    EXPECT_EQ(scan.ExitCode(), 130);
    EXPECT_NE(scan.Output().find("No device found"), std::string::npos);
    EXPECT_EQ(scan.Output().find("10.60.0."), std::string::npos);
}

// AddressSanitizer keeps freed blocks in quarantine, so the peak of an instrumented run says
// nothing about what the program holds.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMemoryMeasurable = false;
#else
constexpr bool kMemoryMeasurable = true;
#endif
#else
constexpr bool kMemoryMeasurable = true;
#endif

Json::Value RunScanJson(const std::vector<std::string>& args, ChildProcess** keep = nullptr)
{
    auto child = std::make_unique<ChildProcess>(TRAWLIX_SCAN_PATH, args);
    EXPECT_TRUE(child->Wait(240s));
    EXPECT_EQ(child->ExitCode(), 0) << child->Errors();
    // The largest page on the network is 64 MiB; the program keeps far less.
    if (kMemoryMeasurable) {
        EXPECT_LT(child->MaxResidentKiB(), 100 * 1024);
    }
    Json::Value root;
    std::string errors;
    const std::string text = child->Output();
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &root, &errors)) << text;
    if (keep != nullptr)
        *keep = child.release();
    return root;
}

TEST_F(SimulatedNetwork, TrawlixScanPrintsSortedJsonForBothSchemes)
{
    const Json::Value https = RunScanJson(
        {"--format", "json", "--lang", "en", "--update-server", "10.99.0.1", "--no-default-address", "10.55.0.*"});
    ASSERT_TRUE(https.isArray());
    std::vector<std::string> ips;
    for (const Json::Value& row : https)
        ips.push_back(row["ip"].asString());
    EXPECT_EQ(ips, (std::vector<std::string>{"10.55.0.11", "10.55.0.12", "10.55.0.13", "10.55.0.14", "10.55.0.15",
                                             "10.55.0.21", "10.55.0.22", "10.55.0.33"}));
    EXPECT_EQ(https[3]["location"].asString(), "S\xC3\xBC"
                                               "d"); // Latin-1 shown as UTF-8
    EXPECT_EQ(https[5]["updateState"].asInt(), 1);
    EXPECT_TRUE(https[5]["jsonApi"].asBool());
    EXPECT_EQ(https[6]["model"].asString(), "Access denied!");
    // The broken bytes of the bad page reach the output as valid text.
    EXPECT_FALSE(https[7]["location"].asString().empty());

    const Json::Value http = RunScanJson({"--format", "json", "--http", "--update-server", "10.99.0.1",
                                          "--no-default-address", "--first", "21", "--last", "23", "10.55.0.*"});
    ASSERT_EQ(http.size(), 1u);
    EXPECT_EQ(http[0]["ip"].asString(), "10.55.0.23");
    EXPECT_EQ(http[0]["mac"].asString(), "00:00:00:00:00:23"); // top-level MAC when ipv4 has none
    EXPECT_EQ(http[0]["manufacturer"].asString(), " (3)");
}

// Two networks and a CIDR network in one search, the last holding the factory address: every
// address of the plan once, found or explained, one list sorted by address, no other address
// contacted.
TEST_F(SimulatedNetwork, TrawlixScanSearchesSeveralNetworksAndACidrNetworkInOneSearch)
{
    const auto before = Requests();
    ChildProcess* kept = nullptr;
    const Json::Value rows =
        RunScanJson({"--format", "json", "--lang", "en", "--update-server", "10.99.0.1", "--explain", "--first", "5",
                     "--last", "30", "10.55.0.*", "10.58.0.0/23", "10.10.10.8/30"},
                    &kept);
    const std::unique_ptr<ChildProcess> scan(kept);
    std::vector<std::string> found;
    for (const Json::Value& row : rows)
        found.push_back(row["ip"].asString());
    EXPECT_EQ(found, (std::vector<std::string>{"10.10.10.10", "10.55.0.11", "10.55.0.12", "10.55.0.13", "10.55.0.14",
                                               "10.55.0.15", "10.55.0.21", "10.55.0.22", "10.58.0.5", "10.58.1.20"}));

    std::set<std::string> plan{"10.10.10.8", "10.10.10.9", "10.10.10.10", "10.10.10.11"};
    for (const char* prefix : {"10.55.0.", "10.58.0.", "10.58.1."}) {
        for (int host = 5; host <= 30; ++host)
            plan.insert(prefix + std::to_string(host));
    }
    // Each address is listed or explained, and only once.
    Json::Value missing;
    const std::string errors = scan->Errors();
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    ASSERT_TRUE(reader->parse(errors.data(), errors.data() + errors.size(), &missing, nullptr)) << errors;
    std::multiset<std::string> searched(found.begin(), found.end());
    for (const Json::Value& entry : missing)
        searched.insert(entry["ip"].asString());
    EXPECT_EQ(searched, std::multiset<std::string>(plan.begin(), plan.end()));

    std::multimap<std::string, std::string> requests = Requests();
    for (const auto& [address, request] : before)
        requests.erase(requests.find(address));
    EXPECT_EQ(requests.count("10.10.10.10"), 1u); // its page, once
    for (const auto& [address, request] : requests)
        EXPECT_TRUE(plan.count(address) != 0 || address == "10.99.0.1") << address << " " << request;
}

// Every format trawlix-scan writes shows the override and the soft hyphen by their codes, so a row
// reads as it is.
TEST_F(SimulatedNetwork, TrawlixScanShowsInvisibleCharactersOfLocationsByTheirCodes)
{
    for (const char* format : {"table", "csv", "json"}) {
        ChildProcess scan(TRAWLIX_SCAN_PATH, {"--format", format, "--lang", "en", "--no-progress", "--update-server",
                                              "10.99.0.1", "--no-default-address", "10.59.0.*"});
        ASSERT_TRUE(scan.Wait(240s)) << format;
        EXPECT_EQ(scan.ExitCode(), 0) << scan.Errors();
        const std::string out = scan.Output();
        for (const char* shown : {"Rack <U+202E>1 B", "Rack <U+202E>2", "Hall <U+202E>3", "Schalt<U+00AD>raum"})
            EXPECT_NE(out.find(shown), std::string::npos) << format << ": " << shown << "\n" << out;
        EXPECT_EQ(out.find("\xE2\x80\xAE"), std::string::npos) << format;
        EXPECT_EQ(out.find("\xC2\xAD"), std::string::npos) << format;
    }
}

TEST_F(SimulatedNetwork, InterruptWithTenHangingHostsEndsTheSearchAtOnce)
{
    ChildProcess scan(TRAWLIX_SCAN_PATH, {"--lang", "en", "--no-default-address", "--first", "1", "--last", "10",
                                          "--no-progress", "--update-server", "10.99.0.1", "10.57.0.*"});
    // Let every job connect and hang (five silent hosts, five that trickle).
    ASSERT_NO_FATAL_FAILURE(InterruptAfter(scan, 1s));
    EXPECT_EQ(scan.ExitCode(), 130);
    EXPECT_EQ(scan.Output(), "No device found\n"); // what was found so far: nothing
}

} // namespace
