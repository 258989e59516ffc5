// The update check's outcomes against a loopback vendor server.
#include "firmware/update_check.h"
#include "resources/string_table.h"
#include "testsupport/loopback_http_server.h"
#include "testsupport/trace_capture.h"

#include <gtest/gtest.h>

namespace {

using testsupport::LoopbackHttpServer;

struct VendorPage
{
    std::string body;
    LoopbackHttpServer server{
        [this](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Respond(200, body); }};
    UpdateCheckContext Context() const { return UpdateCheckContext{server.Authority(), {}}; }
};

std::string Answer(const std::string& yours, const std::string& latest)
{
    return "<table><tr><td><b>Your version:</b></td><td class=\"mainb\">" + yours +
           "</td></tr><tr><td><b>Latest version:</b></td><td class=\"mainb\">" + latest + "</td></tr></table>";
}

class UpdateCheck : public ::testing::Test
{
protected:
    void SetUp() override { trawlix::SetLanguage(trawlix::Language::English); }
    VendorPage vendor;
};

TEST_F(UpdateCheck, AgeTestStopsOldLegacyAdaptersBeforeAnyRequest)
{
    DeviceRecord record;
    EXPECT_EQ(CheckFirmwareUpdate("LX300", &record, "399", "", vendor.Context()), "Not possible");
    EXPECT_EQ(record.updateState, 2);
    EXPECT_EQ(record.deviceId, -1);
    EXPECT_EQ(CheckFirmwareUpdate("LX300", &record, "??", "", vendor.Context()), "Not possible");
    EXPECT_TRUE(vendor.server.Requests().empty());

    vendor.body = Answer("4.00", "4.30");
    record = DeviceRecord{};
    EXPECT_EQ(CheckFirmwareUpdate("LX300", &record, "400", "", vendor.Context()), "Available (4.30)");
    EXPECT_EQ(vendor.server.Requests().size(), 1u);
}

TEST_F(UpdateCheck, Lx400SkipsTheAgeTestAndSendsItsName)
{
    vendor.body = Answer("1.20", "1.20");
    DeviceRecord record;
    record.jsonApi = true;
    EXPECT_EQ(CheckFirmwareUpdate("LX400", &record, "120", "3", vendor.Context()), "Up to date");
    EXPECT_EQ(record.updateState, 0);
    EXPECT_EQ(record.deviceId, -1);
    ASSERT_EQ(vendor.server.Requests().size(), 1u);
    EXPECT_EQ(vendor.server.Requests()[0].target, "/cgi-bin/kvt_update.cgi?ver=120&oem=3&dev=LX400");
}

TEST_F(UpdateCheck, ComparesTheVendorsVersionsAsNumbers)
{
    struct Case
    {
        const char* yours;
        const char* latest;
        const char* text;
        int state;
    };
    const Case cases[] = {
        {"4.26", "4.30", "Available (4.30)", 1},
        {"4.30", "4.30", "Up to date", 0},
        {"4.31", "4.30", "Up to date", 0},
        {"4.9", "4.10", "Up to date", 0}, // numbers, not version components
        {"", "4.30", "Info N/A", 0},
        {"4.26", "n/a", "Info N/A", 0},
    };
    for (const Case& c : cases) {
        vendor.body = Answer(c.yours, c.latest);
        DeviceRecord record;
        EXPECT_EQ(CheckFirmwareUpdate("LX300", &record, "426", "16", vendor.Context()), c.text) << c.yours;
        EXPECT_EQ(record.updateState, c.state) << c.yours;
        EXPECT_EQ(record.latestFirmware, c.state == 1 ? c.latest : "") << c.yours;
        EXPECT_EQ(record.deviceId, 7);
    }
}

TEST_F(UpdateCheck, MissingAnswersGiveInfoNotAvailable)
{
    DeviceRecord record;
    vendor.body = "<td class=\"mainb\">Your version:</b></td><td class=\"mainb\">4.26</td>";
    EXPECT_EQ(CheckFirmwareUpdate("LX300", &record, "426", "", vendor.Context()), "Info N/A");
    vendor.body = "Your version:</b></td><td class=\"mainb\">4.26 Latest version:</b></td><td class=\"mainb\">4.30";
    EXPECT_EQ(CheckFirmwareUpdate("LX300", &record, "426", "", vendor.Context()), "Info N/A"); // label at position 0
    vendor.body = "file not found " + Answer("4.26", "4.30");
    EXPECT_EQ(CheckFirmwareUpdate("LX300", &record, "426", "", vendor.Context()), "Info N/A");
    EXPECT_EQ(record.updateState, 0);

    const std::size_t before = vendor.server.Requests().size();
    {
        const testsupport::TraceCapture trace;
        EXPECT_EQ(CheckFirmwareUpdate("lx300 RS485", &record, "426", "", vendor.Context()), "Info N/A");
        // The model as it was cut, on a line of its own.
        EXPECT_EQ(trace.Lines(), std::vector<std::string>{"DevID not found: <lx300 >\n"});
    }
    EXPECT_EQ(record.deviceId, -1);
    EXPECT_EQ(vendor.server.Requests().size(), before);

    UpdateCheckContext unreachable{"127.0.0.1:1", {}};
    EXPECT_EQ(CheckFirmwareUpdate("LX300", &record, "426", "", unreachable), "Info N/A");
}

TEST_F(UpdateCheck, GermanTexts)
{
    trawlix::SetLanguage(trawlix::Language::German);
    vendor.body = Answer("4.26", "4.30");
    DeviceRecord record;
    const std::string text = CheckFirmwareUpdate("LX300", &record, "426", "", vendor.Context());
    trawlix::SetLanguage(trawlix::Language::English);
    EXPECT_EQ(text, trawlix::LoadString(122, trawlix::Language::German)
                        .replace(trawlix::LoadString(122, trawlix::Language::German).find("%s"), 2, "4.30"));
}

} // namespace
