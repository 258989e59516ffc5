// Both adapter probes against a loopback adapter and a loopback vendor server.
#include "probe/api_probe.h"
#include "probe/job_probes.h"
#include "probe/legacy_probe.h"
#include "resources/string_table.h"
#include "testsupport/loopback_http_server.h"
#include "testsupport/trace_capture.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using testsupport::LoopbackHttpServer;

std::string Cell(const std::string& label, const std::string& value)
{
    return "<tr><td class=\"main\">" + label + "</td><td class=\"mainb\" width=\"100%\">" + value + "</td></tr>";
}

std::string LegacyPage(const std::string& hardware, const std::string& firmware, const std::string& mac,
                       const std::string& extra = {})
{
    return "<html><body><table>" + Cell("LX200&nbsp;Hardware", hardware) + Cell("LX200&nbsp;Firmware", firmware) +
           Cell("MAC&nbsp;Address", mac) + extra + "</table></body></html>";
}

// The vendor's update CGI answering every question with the same two versions.
struct Vendor
{
    std::string yours = "4.26";
    std::string latest = "4.30";
    LoopbackHttpServer server{[this](const LoopbackHttpServer::Request&) {
        return LoopbackHttpServer::Respond(
            200, "<html><table><tr><td><b>Your version:</b></td><td class=\"mainb\">" + yours +
                     "</td></tr><tr><td><b>Latest version:</b></td><td class=\"mainb\">" + latest +
                     "</td></tr></table></html>");
    }};
};

ProbeTarget TargetAt(const LoopbackHttpServer& adapter)
{
    ProbeTarget target;
    target.address = Ipv4Address(127, 0, 0, 1);
    target.port = adapter.Port();
    target.user = "admin";
    target.password = "lx400-dflt";
    target.useHttps = false;
    return target;
}

TEST(LegacyProbe, FillsTheRecordAndTheUpdateCheckAsksTheVendor)
{
    trawlix::SetLanguage(trawlix::Language::English);
    Vendor vendor;
    LoopbackHttpServer adapter([](const LoopbackHttpServer::Request& request) {
        if (request.target != "/net.shtml")
            return LoopbackHttpServer::Respond(404, "File not found");
        return LoopbackHttpServer::Respond(
            200, LegacyPage("LX300", "LX200 v 4.26.16", "00:C0:3A:00:00:01",
                            "<tr><td>UPS&nbsp;Manufacturer</td><td class=\"mainb\">ACME</td></tr>"
                            "<tr><td>Location</td><td class=\"mainb\" width=\"100%\">Server room</td></tr>"));
    });
    DeviceRecord record;
    record.ip = "kept";
    std::string compact;
    ASSERT_TRUE(ProbeLegacyAdapter(TargetAt(adapter), &record, &compact));
    EXPECT_EQ(compact, "426");
    EXPECT_TRUE(vendor.server.Requests().empty()); // the probe asks the adapter only
    record.updateText =
        MakeJobProbes(ProbeConfig{vendor.server.Authority()}).updateCheck(TargetAt(adapter), record, compact);
    EXPECT_TRUE(record.found);
    EXPECT_FALSE(record.jsonApi);
    EXPECT_EQ(record.ip, "kept");
    EXPECT_EQ(record.model, "LX300");
    EXPECT_EQ(record.firmware, "4.26");
    EXPECT_EQ(record.oem, "16");
    EXPECT_EQ(record.manufacturer, "ACME (16)");
    EXPECT_EQ(record.location, "Server room");
    EXPECT_EQ(record.mac, "00:C0:3A:00:00:01");
    EXPECT_EQ(record.deviceId, 7);
    EXPECT_EQ(record.updateState, 1);
    EXPECT_EQ(record.latestFirmware, "4.30");
    EXPECT_EQ(record.updateText, "Available (4.30)");
    ASSERT_EQ(vendor.server.Requests().size(), 1u);
    EXPECT_EQ(vendor.server.Requests()[0].target, "/cgi-bin/kvt_update.cgi?ver=426&oem=16&dev=7");
}

TEST(LegacyProbe, PagesThatAreNotAnAdaptersLeaveTheRecordAlone)
{
    std::map<std::string, std::string> pages{
        {"router", "<html><title>Router</title>Welcome</html>"},
        {"no mac", LegacyPage("LX300", "LX200 v 4.26", "")},
        {"tag first", LegacyPage("<b>LX300</b>", "LX200 v 4.26", "00:11")},
        {"not found", "<h1>FILE NOT FOUND</h1>" + LegacyPage("LX300", "LX200 v 4.26", "00:11")},
    };
    std::string current;
    LoopbackHttpServer adapter(
        [&](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Respond(200, pages[current]); });
    for (const auto& [name, page] : pages) {
        current = name;
        DeviceRecord record;
        const testsupport::TraceCapture trace;
        EXPECT_FALSE(ProbeLegacyAdapter(TargetAt(adapter), &record)) << name;
        EXPECT_EQ(record, DeviceRecord{}) << name;
        // A page without the adapter's values is traced as one line; a missing page is not traced.
        const std::vector<std::string> expected{"Invalid data on 127.0.0.1\n"};
        EXPECT_EQ(trace.Lines(), name == "not found" ? std::vector<std::string>{} : expected) << name;
    }
}

TEST(LegacyProbe, StopBeforeTheRecordIsWrittenDeliversNothing)
{
    LoopbackHttpServer adapter([](const LoopbackHttpServer::Request&) {
        return LoopbackHttpServer::Respond(200, LegacyPage("LX300", "LX200 v 4.26", "00:11"));
    });
    std::atomic<bool> stop{true};
    ProbeTarget target = TargetAt(adapter);
    target.stop = jwin::StopToken(&stop);
    DeviceRecord record;
    EXPECT_FALSE(ProbeLegacyAdapter(target, &record));
    EXPECT_EQ(record, DeviceRecord{});
}

// An LX400 that logs in with a cookie and serves the two documents given.
struct Lx400
{
    std::string password = "lx400-dflt";
    std::string info = R"({"version":"V1.78.12","name":"LX400","manufacturer":"ACME","location":"Lab"})";
    std::string config = R"({"ipv4":{"mac":"00:C0:3A:00:04:00"}})";
    int infoStatus = 200;
    LoopbackHttpServer server{[this](const LoopbackHttpServer::Request& request) {
        if (request.target == "/api/login") {
            if (request.body.find("\"password\":\"" + password + "\"") == std::string::npos)
                return LoopbackHttpServer::Respond(401, "{}");
            return LoopbackHttpServer::Respond(200, "{\"ok\":true}\n", "Set-Cookie: sid=42; Path=/\r\n");
        }
        if (request.Header("Cookie") != "sid=42")
            return LoopbackHttpServer::Respond(401, "{}");
        if (request.target == "/api/system/info")
            return LoopbackHttpServer::Respond(infoStatus, info);
        if (request.target == "/api/system/network/config")
            return LoopbackHttpServer::Respond(200, config);
        return LoopbackHttpServer::Respond(404, "");
    }};
};

TEST(ApiProbe, LogsInReadsBothDocumentsAndChecksForUpdates)
{
    trawlix::SetLanguage(trawlix::Language::English);
    Vendor vendor;
    vendor.yours = "1.78";
    vendor.latest = "1.78";
    Lx400 adapter;
    DeviceRecord record;
    std::string compact;
    ASSERT_TRUE(ProbeApiAdapter(TargetAt(adapter.server), &record, &compact));
    EXPECT_EQ(compact, "178");
    record.updateText =
        MakeJobProbes(ProbeConfig{vendor.server.Authority()}).updateCheck(TargetAt(adapter.server), record, compact);
    EXPECT_TRUE(record.found);
    EXPECT_TRUE(record.jsonApi);
    EXPECT_EQ(record.model, "LX400");
    EXPECT_EQ(record.firmware, "1.78");
    EXPECT_EQ(record.oem, "12");
    EXPECT_EQ(record.manufacturer, "ACME (12)");
    EXPECT_EQ(record.location, "Lab");
    EXPECT_EQ(record.mac, "00:C0:3A:00:04:00");
    EXPECT_EQ(record.deviceId, -1);
    EXPECT_EQ(record.updateState, 0);
    EXPECT_EQ(record.updateText, "Up to date");
    ASSERT_EQ(vendor.server.Requests().size(), 1u);
    EXPECT_EQ(vendor.server.Requests()[0].target, "/cgi-bin/kvt_update.cgi?ver=178&oem=12&dev=LX400");
}

TEST(ApiProbe, RefusedLoginIsListedAsAccessDenied)
{
    Lx400 adapter;
    adapter.password = "other";
    for (const auto language : {trawlix::Language::English, trawlix::Language::German}) {
        trawlix::SetLanguage(language);
        DeviceRecord record;
        EXPECT_FALSE(ProbeApiAdapter(TargetAt(adapter.server), &record));
        EXPECT_TRUE(record.found);
        EXPECT_TRUE(record.jsonApi);
        EXPECT_EQ(record.model, language == trawlix::Language::English ? "Access denied!" : "Zugriff verweigert!");
        EXPECT_EQ(record.firmware, "");
    }
    trawlix::SetLanguage(trawlix::Language::English);
}

TEST(ApiProbe, UnusableDocumentsGiveNoRow)
{
    Lx400 adapter;
    DeviceRecord record;

    adapter.config = "{ this is not json";
    EXPECT_FALSE(ProbeApiAdapter(TargetAt(adapter.server), &record));
    EXPECT_FALSE(record.found);
    EXPECT_EQ(record.model, "LX400"); // read before the configuration failed

    for (const char* info : {"[1,2]", R"({"name":["LX400"]})", "not json", ""}) {
        adapter.info = info;
        adapter.config = R"({"mac":"AA"})";
        record = DeviceRecord{};
        EXPECT_FALSE(ProbeApiAdapter(TargetAt(adapter.server), &record)) << info;
        EXPECT_EQ(record, DeviceRecord{}) << info;
    }

    adapter.info = R"({"name":"LX400"})";
    adapter.infoStatus = 500;
    record = DeviceRecord{};
    EXPECT_FALSE(ProbeApiAdapter(TargetAt(adapter.server), &record));
    EXPECT_EQ(record, DeviceRecord{});
}

TEST(JobProbes, TheFamiliesInOrderOnTheirPorts)
{
    const JobProbes probes = MakeJobProbes();
    ASSERT_EQ(probes.families.size(), 2u);
    EXPECT_EQ(probes.families[1].name, "LX400");
    EXPECT_EQ(FamilyPorts(probes.families, true), (std::vector<std::uint16_t>{80, 443}));
    EXPECT_EQ(FamilyPorts(probes.families, false), (std::vector<std::uint16_t>{80}));

    // The status-page family recognises a legacy adapter and leaves its reason when it does not;
    // an adapter too old to update is never asked about at any vendor's server.
    LoopbackHttpServer adapter([](const LoopbackHttpServer::Request& request) {
        if (request.target != "/net.shtml")
            return LoopbackHttpServer::Respond(404, "File not found");
        return LoopbackHttpServer::Respond(200, LegacyPage("LX300", "LX200 v 3.99", "00:11"));
    });
    DeviceRecord record;
    const ProbeResult legacy = probes.families[0].probe(TargetAt(adapter), record);
    ASSERT_TRUE(legacy.recognised);
    EXPECT_EQ(legacy.compactVersion, "399");
    EXPECT_EQ(probes.updateCheck(TargetAt(adapter), record, legacy.compactVersion), "Not possible");
    EXPECT_EQ(record.updateState, 2);

    DeviceRecord none;
    EXPECT_FALSE(probes.families[1].probe(TargetAt(adapter), none).recognised);
    EXPECT_EQ(none.failure.kind, ProbeFailureKind::LoginFailed);
}

} // namespace
