// Rules the probes apply to text: label cutting, version splitting, page re-encoding, the JSON
// documents, and the update check's request paths.
#include "firmware/update_check.h"
#include "net/http_fetcher.h"
#include "probe/api_probe.h"
#include "probe/firmware_version.h"
#include "probe/legacy_probe.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace {

TEST(ExtractLabelValue, CutsUpToTheNextTagOrTheEnd)
{
    std::string value;
    EXPECT_TRUE(ExtractLabelValue("Name:", "<p>Name:LX300<br>", &value));
    EXPECT_EQ(value, "LX300");

    value.clear();
    EXPECT_TRUE(ExtractLabelValue("Name:", "x Name: to the end", &value));
    EXPECT_EQ(value, " to the end");

    std::string withNul("xName:ab");
    withNul += '\0';
    withNul += "cd<";
    value.clear();
    EXPECT_TRUE(ExtractLabelValue("Name:", withNul, &value));
    EXPECT_EQ(value, "ab");
}

TEST(ExtractLabelValue, EmptyValueKeepsTheOldTextAndStillCounts)
{
    std::string value = "before";
    EXPECT_TRUE(ExtractLabelValue("Name:", "xName:<b>LX300</b>", &value));
    EXPECT_EQ(value, "before");
    EXPECT_TRUE(ExtractLabelValue("Name:", "xName:", &value));
    EXPECT_EQ(value, "before");
}

TEST(ExtractLabelValue, LabelAtThePageStartOrMissingIsNotFound)
{
    std::string value = "old";
    EXPECT_FALSE(ExtractLabelValue("Name:", "Name:first<Name:second<", &value));
    EXPECT_FALSE(ExtractLabelValue("Name:", "nothing here", &value));
    EXPECT_FALSE(ExtractLabelValue("name:", "x Name:LX<", &value)); // case-sensitive
    EXPECT_EQ(value, "old");
    EXPECT_FALSE(ExtractLabelValue("Name:", "xName:a", nullptr));
}

struct SplitCase
{
    const char* version;
    const char* separator;
    const char* display;
    const char* compact;
    const char* oem;
};

TEST(SplitFirmwareVersion, ExamplesOfBothFamilies)
{
    const SplitCase cases[] = {
        {"LX200 v 4.26.5", "v ", "4.26", "426", "5"},
        {"4.26", "v ", "4.26", "426", ""},
        {"4.26.5 (beta)", "v ", "4.26", "426", "5"},
        {"abc", "v ", "abc.?", "abc?", ""},
        {"", "v ", "?.?", "??", ""},
        {"LX200 v 4", "v ", "4.?", "4?", ""},
        {"1.78.12", "V", "1.78", "178", "12"},
        {"V2.01.3", "V", "2.01", "201", "3"},
        {"LX200 v  4.30.16 ", "v ", "4.30", "430", "16"},
    };
    for (const SplitCase& c : cases) {
        std::string display = "x", compact = "x", oem = "x";
        ASSERT_TRUE(SplitFirmwareVersion(c.version, c.separator, &display, &compact, &oem));
        EXPECT_EQ(display, c.display) << c.version;
        EXPECT_EQ(compact, c.compact) << c.version;
        EXPECT_EQ(oem, c.oem) << c.version;
    }
}

TEST(SplitFirmwareVersion, LongComponentsAreCutAndNullOutputsRefused)
{
    const std::string huge(500, '7');
    std::string display, compact, oem;
    ASSERT_TRUE(SplitFirmwareVersion(huge + "." + huge + "." + huge, "v ", &display, &compact, &oem));
    // The number part is cut to 127 characters before the components are taken, so the
    // first dot is gone; the component itself is cut to 63.
    EXPECT_EQ(display, std::string(63, '7') + ".?");
    EXPECT_EQ(compact, std::string(63, '7') + "?");
    EXPECT_TRUE(oem.empty());
    ASSERT_TRUE(SplitFirmwareVersion("1." + huge + ".5", "v ", &display, &compact, &oem));
    EXPECT_EQ(display, "1." + std::string(63, '7'));
    EXPECT_FALSE(SplitFirmwareVersion("4.26", "v ", &display, nullptr, &oem));
}

std::string Row(const std::string& label, const std::string& value)
{
    return "<tr><td class=\"main\">" + label + value + "</td></tr>\n";
}

TEST(LegacyPage, EveryLabelFormGivesTheSameValues)
{
    const std::string plainWidth =
        "<html><table>" + Row("LX200&nbsp;Hardware</td><td class=\"mainb\" width=\"100%\">", "LX300") +
        Row("LX200&nbsp;Firmware</td><td class=\"mainb\" width=\"100%\">", "LX200 v 4.26.5") +
        Row("MAC&nbsp;Address</td><td class=\"mainb\" width=\"100%\">", "00:11:22:33:44:55") +
        Row("UPS&nbsp;Manufacturer</td><td class=\"mainb\">", "ACME") +
        Row("Location</td><td class=\"mainb\" width=\"100%\">", "Room 1") + "</table>";
    const std::string scriptPlain = "<html><table>" +
                                    Row("_dw(\"LX200 Hardware\")</script></td><td class=\"mainb\">", "LX300") +
                                    Row("_dw(\"LX200 Firmware\")</script></td><td class=\"mainb\">", "LX200 v 4.26.5") +
                                    Row("_dw(\"MAC Address\")</script></td><td class=\"mainb\">", "00:11:22:33:44:55") +
                                    Row("_dw(\"UPS Manufacturer\")</script></td><td class=\"mainb\">", "ACME") +
                                    Row("_dw(\"Location\")</script></td><td class=\"mainb\">", "Room 1") + "</table>";
    for (const std::string& page : {plainWidth, scriptPlain}) {
        const LegacyPageValues values = ReadLegacyPage(page);
        EXPECT_EQ(values.hardware, "LX300");
        EXPECT_EQ(values.firmware, "LX200 v 4.26.5");
        EXPECT_EQ(values.mac, "00:11:22:33:44:55");
        EXPECT_EQ(values.manufacturer, "ACME");
        EXPECT_EQ(values.location, "Room 1");
    }
}

TEST(LegacyPage, FirstOccurringVariantDecidesEvenWhenEmpty)
{
    // The plain label cell holds a tag first; the script form further down is not used.
    const std::string page = "<html>" + Row("LX200&nbsp;Hardware</td><td class=\"mainb\">", "<b>LX300</b>") +
                             Row("_dw(\"LX200 Hardware\")</script></td><td class=\"mainb\">", "LX300");
    EXPECT_EQ(ReadLegacyPage(page).hardware, "");
    // Small letters do not match.
    EXPECT_EQ(ReadLegacyPage("<html>lX200&nbsp;hardware</td><td class=\"mainb\">LX300<").hardware, "");
}

TEST(ConvertPageToLatin1, ReencodesOrLeavesThePageAndCleansUp)
{
    testsupport::TempFolder temp;
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string saved = oldTmp != nullptr ? oldTmp : "";
    setenv("TMPDIR", temp.Path().c_str(), 1);

    std::string page = "<meta charset=utf-8>M\xC3\xBCnchen";
    EXPECT_TRUE(ConvertPageToLatin1(&page));
    EXPECT_EQ(page, "<meta charset=utf-8>M\xFCnchen");

    const std::string euro = "<meta charset=utf-8>5 \xE2\x82\xAC";
    page = euro;
    EXPECT_FALSE(ConvertPageToLatin1(&page));
    EXPECT_EQ(page, euro);

    const std::string broken = "caf\xC3"; // incomplete sequence at the end
    page = broken;
    EXPECT_FALSE(ConvertPageToLatin1(&page));
    EXPECT_EQ(page, broken);

    page.clear();
    EXPECT_FALSE(ConvertPageToLatin1(&page));

    // A page of many blocks with a two-byte sequence across each block border.
    std::string big;
    std::string expected;
    while (big.size() < 5 * 4096) {
        big += std::string(4095, 'a') + "\xC3\xA4";
        expected += std::string(4095, 'a') + "\xE4";
    }
    EXPECT_TRUE(ConvertPageToLatin1(&big));
    EXPECT_EQ(big, expected);

    EXPECT_TRUE(std::filesystem::is_empty(temp.Path())) << "temporary folders left behind";
    if (oldTmp != nullptr)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST(ConvertPageToLatin1, ConcurrentConversionsUseTheirOwnFolders)
{
    testsupport::TempFolder temp;
    setenv("TMPDIR", temp.Path().c_str(), 1);
    std::vector<std::thread> threads;
    std::vector<std::string> pages(10);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        threads.emplace_back([&pages, i] {
            for (int round = 0; round < 20; ++round) {
                std::string page = "page " + std::to_string(i) + " \xC3\xBC";
                ConvertPageToLatin1(&page);
                if (round == 0)
                    pages[i] = page;
                else if (page != pages[i])
                    pages[i] = "mixed up";
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    unsetenv("TMPDIR");
    for (std::size_t i = 0; i < pages.size(); ++i)
        EXPECT_EQ(pages[i], "page " + std::to_string(i) + " \xFC");
    EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
}

TEST(ConvertFileCharset, FailureLeavesTheFileAndMissingArgumentsFail)
{
    testsupport::TempFolder temp;
    const auto file = temp.WriteFile("page.txt", "\xFF\xFE invalid");
    EXPECT_FALSE(ConvertFileCharset(file.c_str(), "UTF-8", "ISO-8859-1"));
    EXPECT_EQ(testsupport::TempFolder::ReadFile(file), "\xFF\xFE invalid");
    EXPECT_FALSE(ConvertFileCharset(nullptr, "UTF-8", "ISO-8859-1"));
    EXPECT_FALSE(ConvertFileCharset(file.c_str(), "NO-SUCH-CHARSET", "ISO-8859-1"));
    EXPECT_FALSE(ConvertFileCharset((temp.Path() / "missing").c_str(), "UTF-8", "ISO-8859-1"));
}

TEST(ApiDocuments, LoginBodyIsValidJsonWhateverThePassword)
{
    EXPECT_EQ(ApiLoginBody("admin", "lx400-dflt"), R"({"userName":"admin","password":"lx400-dflt"})");
    EXPECT_EQ(ApiLoginBody("a\"b", "c\\d\n"), R"({"userName":"a\"b","password":"c\\d\n"})");
    // A crafted password must not add members.
    const std::string body = ApiLoginBody("admin", "x\",\"admin\":true,\"y\":\"");
    Json::Value root;
    std::string errors;
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    ASSERT_TRUE(reader->parse(body.data(), body.data() + body.size(), &root, &errors)) << body;
    EXPECT_EQ(root.getMemberNames(), (std::vector<std::string>{"password", "userName"}));
    EXPECT_EQ(root["password"].asString(), "x\",\"admin\":true,\"y\":\"");
}

TEST(ApiDocuments, MemberRules)
{
    ApiSystemInfo info = ReadApiSystemInfo(
        R"({"version":"1.78.12","name":"LX400","manufacturer":null,"location":"Halle \u00dc", "extra":[1]})");
    ASSERT_TRUE(info.usable);
    EXPECT_EQ(info.name, "LX400");
    EXPECT_EQ(info.manufacturer, "");
    EXPECT_EQ(info.location, "Halle \xC3\x9C");

    info = ReadApiSystemInfo(R"({"version":2,"name":true,"location":1.5} // comment allowed)");
    ASSERT_TRUE(info.usable);
    EXPECT_EQ(info.version, "2");
    EXPECT_EQ(info.name, "true");
    EXPECT_EQ(info.location, "1.5");

    EXPECT_FALSE(ReadApiSystemInfo(R"(["not", "an", "object"])").usable);
    EXPECT_FALSE(ReadApiSystemInfo(R"({"name":{"nested":1}})").usable);
    EXPECT_FALSE(ReadApiSystemInfo(R"({"name":"x")").usable);
    EXPECT_FALSE(ReadApiSystemInfo(std::string(100000, '[')).usable);
    EXPECT_FALSE(ReadApiSystemInfo("").usable);
}

TEST(ApiDocuments, MacFromIpv4OrTopLevel)
{
    EXPECT_EQ(ReadApiNetworkConfig(R"({"ipv4":{"mac":"AA"},"mac":"BB"})").mac, "AA");
    EXPECT_EQ(ReadApiNetworkConfig(R"({"mac":"BB"})").mac, "BB");
    EXPECT_EQ(ReadApiNetworkConfig(R"({"ipv4":{"mac":""},"mac":"BB"})").mac, "BB");
    EXPECT_EQ(ReadApiNetworkConfig(R"({"ipv4":{"mac":null}})").mac, "");
    EXPECT_TRUE(ReadApiNetworkConfig(R"({"ipv4":{"mac":null}})").usable);
    EXPECT_FALSE(ReadApiNetworkConfig(R"({"ipv4":"text"})").usable);
    EXPECT_FALSE(ReadApiNetworkConfig(R"({"ipv4":{"mac":["AA"]}})").usable);
    EXPECT_FALSE(ReadApiNetworkConfig("{ not json").usable);
}

TEST(UpdateRequest, ModelTableAndPaths)
{
    EXPECT_EQ(DeviceIdForModel("LX300"), 7);
    EXPECT_EQ(DeviceIdForModel("Roomwarden IV"), 24);
    EXPECT_EQ(DeviceIdForModel("LX200"), -1);
    EXPECT_EQ(DeviceIdForModel("lx300"), -1);
    EXPECT_EQ(DeviceIdForModel(" LX300"), -1);

    int id = 0;
    EXPECT_EQ(UpdateRequestPath("LX300", false, "426", "16", &id), "cgi-bin/kvt_update.cgi?ver=426&oem=16&dev=7");
    EXPECT_EQ(UpdateRequestPath("LX300 RS485", false, "426", "16", &id), "cgi-bin/kvt_update.cgi?ver=426&oem=16&dev=7");
    EXPECT_EQ(UpdateRequestPath(" LX300 16MB ", false, "430", "", &id), "cgi-bin/kvt_update.cgi?ver=430&oem=&dev=17");
    EXPECT_EQ(id, 17);
    EXPECT_EQ(UpdateRequestPath("lx300", false, "430", "", &id), "");
    EXPECT_EQ(id, -1);
    // LX400: the model name as it stands, a blank left by the cut included.
    EXPECT_EQ(UpdateRequestPath("LX400 RS485", true, "120", "3", &id),
              "cgi-bin/kvt_update.cgi?ver=120&oem=3&dev=LX400 ");
}

TEST(UpdateRequest, VersionNumbersReadLikeScanfWithoutLocale)
{
    double number = 0;
    EXPECT_TRUE(ReadVersionNumber("4.26", &number));
    EXPECT_DOUBLE_EQ(number, 4.26);
    EXPECT_TRUE(ReadVersionNumber(" 4.30 beta", &number));
    EXPECT_DOUBLE_EQ(number, 4.30);
    EXPECT_TRUE(ReadVersionNumber("426", &number));
    EXPECT_DOUBLE_EQ(number, 426);
    EXPECT_FALSE(ReadVersionNumber("", &number));
    EXPECT_FALSE(ReadVersionNumber("abc", &number));
    EXPECT_FALSE(ReadVersionNumber("nan", &number));
    EXPECT_FALSE(ReadVersionNumber("?", &number));
}

} // namespace
