#include "cli/options.h"
#include "cli/output.h"
#include "cli/scan_network.h"
#include "resources/string_table.h"
#include "support/text/ipv4.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

std::optional<std::string> NoFile(const std::string&)
{
    return std::nullopt;
}

std::optional<std::string> SecretFile(const std::string& path)
{
    if (path == "pw.txt")
        return std::string("from-file");
    return std::nullopt;
}

ParseResult Parse(std::vector<std::string> args, const char* env = nullptr)
{
    return ParseScanOptions(args, env, &SecretFile);
}

TEST(ScanOptionsTest, DefaultsAndPrefixFromSubnet)
{
    const auto r = Parse({"192.168.1.*"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->networks.at(0).Prefix(), "192.168.1");
    EXPECT_EQ(r.options->firstHost, 1);
    EXPECT_EQ(r.options->lastHost, 254);
    EXPECT_TRUE(r.options->scanRange);
    EXPECT_TRUE(r.options->scanDefaultAddress);
    EXPECT_TRUE(r.options->useHttps);
    EXPECT_EQ(r.options->user, "admin");
    EXPECT_EQ(r.options->password, "lx400-dflt");
    EXPECT_EQ(r.options->jobs, 10);
    EXPECT_EQ(r.options->format, ScanOptions::Format::Table);
    EXPECT_TRUE(r.options->discovery);

    EXPECT_EQ(Parse({"10.0.7.0"}).options->networks.at(0).Prefix(), "10.0.7");
    // A text that is no network is refused, never searched as host names.
    EXPECT_FALSE(Parse({"net"}).options);
}

TEST(ScanOptionsTest, ValuesInBothSpellings)
{
    const auto r = Parse({"--first", "5", "--last=9", "--jobs", "3", "--format=json", "--lang", "de", "--http",
                          "--no-default-address", "--update-server", "127.0.0.1:8080", "--user", "ops", "--no-progress",
                          "--no-discovery", "172.16.4.*"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->firstHost, 5);
    EXPECT_EQ(r.options->lastHost, 9);
    EXPECT_EQ(r.options->jobs, 3);
    EXPECT_EQ(r.options->format, ScanOptions::Format::Json);
    EXPECT_EQ(r.options->language, ScanOptions::Language::German);
    EXPECT_FALSE(r.options->useHttps);
    EXPECT_FALSE(r.options->scanDefaultAddress);
    EXPECT_FALSE(r.options->progress);
    EXPECT_FALSE(r.options->discovery);
    EXPECT_EQ(r.options->updateServer, "127.0.0.1:8080");
    EXPECT_EQ(r.options->user, "ops");
}

TEST(ScanOptionsTest, PasswordFileWinsOverEnvironment)
{
    EXPECT_EQ(Parse({"1.2.3.*"}, "from-env").options->password, "from-env");
    EXPECT_EQ(Parse({"--password-file", "pw.txt", "1.2.3.*"}, "from-env").options->password, "from-file");
    EXPECT_FALSE(ParseScanOptions({"--password-file", "pw.txt", "1.2.3.*"}, nullptr, &NoFile).options);
}

TEST(ScanOptionsTest, WrongUsageGivesOneLineReason)
{
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"--first", "0x5", "1.2.3.*"},
        {"--first", "255", "1.2.3.*"},
        {"--last", "0", "1.2.3.*"},
        {"--first", "9", "--last", "3", "1.2.3.*"},
        {"--jobs", "0", "1.2.3.*"},
        {"--jobs", "256", "1.2.3.*"},
        {"--format", "xml", "1.2.3.*"},
        {"--lang", "fr", "1.2.3.*"},
        {"--bogus", "1.2.3.*"},
        {"1.2.3.*", "4.5.6.*/24"},
        {"--no-range", "1.2.3.*"},
        {"--no-range", "1.2.3.*", "4.5.6.*"},
        {"--no-range", "--no-default-address"},
        {"--user"},
        {"--http=1", "1.2.3.*"},
        {"--no-discovery=1", "1.2.3.*"},
        {std::string(200, '1') + ".*"},
    };
    for (const auto& args : wrong) {
        const auto r = Parse(args);
        EXPECT_FALSE(r.options) << ::testing::PrintToString(args);
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(r.error.find('\n'), std::string::npos);
    }
    EXPECT_TRUE(Parse({"--no-range"}).options);
    EXPECT_TRUE(Parse({"--help"}).options->showHelp);
}

TEST(FormatTest, ExplanationNamesTheAnsweringAddressesAndCountsTheSilentOnes)
{
    auto missing = [](std::string ip, ProbeFailureKind kind, std::string detail) {
        DeviceRecord r;
        r.ip = std::move(ip);
        r.failure = {kind, std::move(detail)};
        return r;
    };
    const std::vector<DeviceRecord> records = {
        missing("10.0.0.10", ProbeFailureKind::RedirectRefused, "redirect to http://x/\x1B[2J refused"),
        missing("10.0.0.9", ProbeFailureKind::Silent, "no answer on ports 80 and 443"),
        missing("10.0.0.2", ProbeFailureKind::Refused, "connection refused on ports 80 and 443"),
        missing("10.0.0.3", ProbeFailureKind::None, ""),
        missing("10.0.0.4", ProbeFailureKind::Silent, "no answer on ports 80 and 443"),
    };
    EXPECT_EQ(FormatExplanation(records, ScanOptions::Format::Table),
              "10.0.0.2: connection refused on ports 80 and 443\n"
              "10.0.0.3: no reason known\n"
              "10.0.0.10: redirect to http://x/ [2J refused\n"
              "2 addresses did not answer at all\n");
    const std::string json = FormatExplanation({records[0], records[1]}, ScanOptions::Format::Json);
    EXPECT_EQ(json,
              "[\n  {\"ip\": \"10.0.0.9\", \"reason\": \"silent\", \"detail\": \"no answer on ports 80 and 443\"},\n"
              "  {\"ip\": \"10.0.0.10\", \"reason\": \"redirect-refused\", "
              "\"detail\": \"redirect to http://x/\\u001b[2J refused\"}\n]\n");
    EXPECT_TRUE(ParseScanOptions({"--explain", "10.0.0.*"}, nullptr, &NoFile).options->explain);
    EXPECT_FALSE(ParseScanOptions({"--explain=yes", "10.0.0.*"}, nullptr, &NoFile).options);
}

TEST(ScanNetworkTest, ThreeDecimalOctetsAndAStarOrAHostNumber)
{
    for (const char* text : {"192.168.1.*", "192.168.1.77", "192.168.1.0"}) {
        ASSERT_TRUE(ParseScanNetwork(text)) << text;
        EXPECT_EQ(ParseScanNetwork(text)->Prefix(), "192.168.1");
        EXPECT_EQ(ParseScanNetwork(text)->prefixLength, 24);
    }
    // Each would have been searched as host names or short address forms.
    for (const char* text : {"", "abc", "300.1.1.*", "1.2.3.4.5", "192.168.1", "192.168.*", "192.168.01.*",
                             "0x0a.1.1.*", "10.1.1.*.*", "10.1.1.**", ".*", "adapter.example.*"}) {
        EXPECT_FALSE(ParseScanNetwork(text)) << '"' << text << '"';
        const auto r = Parse({text});
        EXPECT_FALSE(r.options) << '"' << text << '"';
        EXPECT_EQ(r.error.find('\n'), std::string::npos);
    }
}

TEST(ScanNetworkTest, CidrNetworksFromSixteenToThirtyTwoBitsWithoutHostBits)
{
    // Each text with the network it names, or a part of the reason it is refused.
    const std::pair<const char*, const char*> cases[] = {{"10.20.4.0/22", "10.20.4.0/22"},
                                                         {"10.1.0.0/16", "10.1.0.0/16"},
                                                         {"192.168.1.7/32", "192.168.1.7/32"},
                                                         {"192.168.1.128/25", "192.168.1.128/25"},
                                                         {"10.20.1.0/22", "the network is 10.20.0.0/22"},
                                                         {"192.168.1.7/31", "the network is 192.168.1.6/31"},
                                                         {"10.0.0.0/15", "16 to 32"},
                                                         {"10.0.0.0/33", "16 to 32"},
                                                         {"10.0.0.0/024", "not a subnet"},
                                                         {"10.0.0.0/", "not a subnet"},
                                                         {"10.0.0.0/+24", "not a subnet"},
                                                         {"10.0.0.*/24", "not a subnet"},
                                                         {"10.0/16", "not a subnet"},
                                                         {"adapter.example/24", "not a subnet"}};
    for (const auto& [text, outcome] : cases) {
        std::string reason;
        const auto network = ParseScanNetwork(text, &reason);
        const std::string got =
            network ? FormatDottedQuad(network->address) + "/" + std::to_string(network->prefixLength) : reason;
        EXPECT_NE(got.find(outcome), std::string::npos) << text << ": " << got;
        EXPECT_EQ(Parse({text}).error, reason) << text;
    }
}

TEST(ScanNetworkTest, EachNetworkBecomesItsSlashTwentyFoursWithFirstAndLastInEach)
{
    const auto shown = [](const std::vector<scan::SearchNetwork>& networks) {
        std::string out;
        for (const scan::SearchNetwork& n : networks)
            out += (out.empty() ? "" : " ") + n.prefix + ":" + std::to_string(n.firstHost) + "-" +
                   std::to_string(n.lastHost);
        return out;
    };
    const std::tuple<const char*, int, int, const char*> cases[] = {
        {"10.20.0.0/22", 1, 254, "10.20.0:1-254 10.20.1:1-254 10.20.2:1-254 10.20.3:1-254"},
        {"192.168.1.128/25", 1, 254, "192.168.1:128-254"},
        {"192.168.1.0/25", 100, 200, "192.168.1:100-127"},
        {"192.168.1.7/32", 1, 254, "192.168.1:7-7"},
        {"192.168.1.0/32", 1, 254, ""},
        {"255.255.255.255/32", 1, 254, ""}};
    for (const auto& [text, first, last, expected] : cases)
        EXPECT_EQ(shown(SearchNetworksOf(*ParseScanNetwork(text), first, last)), expected) << text;
    EXPECT_EQ(SearchNetworksOf(*ParseScanNetwork("10.1.0.0/16"), 1, 254).size(), 256u);
}

TEST(ScanOptionsTest, SeveralNetworksInTheOrderGivenAndNoneWithoutAHost)
{
    const auto r = Parse({"--first", "10", "1.2.3.*", "4.5.6.0/23", "--last", "20", "1.2.3.9", "--", "7.8.9.12/30"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->networks.size(), 4u);
    EXPECT_EQ(r.options->SearchNetworks(),
              (std::vector<scan::SearchNetwork>{
                  {"1.2.3", 10, 20}, {"4.5.6", 10, 20}, {"4.5.7", 10, 20}, {"1.2.3", 10, 20}, {"7.8.9", 12, 15}}));
    // --first and --last leave nothing of 7.8.9.4/30: said, not searched around.
    const auto empty = Parse({"--first", "10", "1.2.3.*", "7.8.9.4/30"});
    EXPECT_FALSE(empty.options);
    EXPECT_NE(empty.error.find("nothing to search in 7.8.9.4/30"), std::string::npos) << empty.error;
    EXPECT_NE(Parse({"1.2.3.*", "1.2.3.0/30", "abc"}).error.find("\"abc\""), std::string::npos);
}

TEST(ScanOptionsTest, DoubleDashCompareAndEmptyPlans)
{
    EXPECT_EQ(Parse({"--no-progress", "--", "10.1.2.*"}).options->networks.at(0).Prefix(), "10.1.2");
    EXPECT_NE(Parse({"--", "--help"}).error.find("not a subnet"), std::string::npos);
    for (const auto& args : std::vector<std::vector<std::string>>{{"--no-range", "--no-default-address"},
                                                                  {"--no-range", "--no-default-address", "1.2.3.*"}})
        EXPECT_NE(Parse(args).error.find("nothing to search"), std::string::npos);

    EXPECT_EQ(Parse({"--compare=last.json", "--format", "json", "10.1.2.*"}).options->compareFile, "last.json");
    EXPECT_FALSE(Parse({"--compare", "last.json", "--format", "csv", "10.1.2.*"}).options);
    EXPECT_FALSE(Parse({"--compare", "", "10.1.2.*"}).options);
    EXPECT_NE(UsageText().find("default www.orvanta.de"), std::string::npos);
}

TEST(OutputTest, EmptyTableSaysNoDeviceFoundInTheLanguage)
{
    trawlix::SetLanguage(trawlix::Language::German);
    EXPECT_EQ(FormatDeviceList({}, ScanOptions::Format::Table), "Kein Ger\xC3\xA4t gefunden\n");
    trawlix::SetLanguage(trawlix::Language::English);
    EXPECT_EQ(FormatDeviceList({}, ScanOptions::Format::Table), "No device found\n");
    EXPECT_EQ(FormatDeviceList({}, ScanOptions::Format::Json), "[]\n");
}

TEST(FlashToolOptionTest, FolderIsOptionalAndNoSubnetIsTaken)
{
    auto parse = [](std::vector<std::string> args) { return ParseScanOptions(args, nullptr, nullptr); };
    auto plain = parse({"--flash-tool"});
    ASSERT_TRUE(plain.options) << plain.error;
    EXPECT_TRUE(plain.options->flashTool);
    EXPECT_EQ(plain.options->flashToolDir, "");

    auto folder = parse({"--flash-tool", "/opt/tools/update16", "--format", "json"});
    ASSERT_TRUE(folder.options) << folder.error;
    EXPECT_EQ(folder.options->flashToolDir, "/opt/tools/update16");
    EXPECT_EQ(folder.options->format, ScanOptions::Format::Json);

    auto inlineFolder = parse({"--format=csv", "--flash-tool=/x"});
    ASSERT_TRUE(inlineFolder.options) << inlineFolder.error;
    EXPECT_EQ(inlineFolder.options->flashToolDir, "/x");

    EXPECT_FALSE(parse({"--flash-tool", "/x", "192.168.1.*"}).options);
}

TEST(FlashToolOptionTest, ReportFormats)
{
    FlashToolReport report;
    report.path = "/opt/update16/setup \"new\".exe";
    report.oem = 16;
    report.adapterTypes = {{7, "LX300 standard", "4.30"}, {9, "No folder", std::nullopt}};
    EXPECT_EQ(FormatFlashToolReport(report, ScanOptions::Format::Json),
              "{\"path\": \"/opt/update16/setup \\\"new\\\".exe\", \"oem\": 16, \"adapterTypes\": [\n"
              "  {\"deviceId\": 7, \"section\": \"LX300 standard\", \"localVersion\": \"4.30\"},\n"
              "  {\"deviceId\": 9, \"section\": \"No folder\", \"localVersion\": null}\n]}\n");
    EXPECT_EQ(FormatFlashToolReport(report, ScanOptions::Format::Csv),
              "path,oem,deviceId,section,localVersion\n"
              "\"/opt/update16/setup \"\"new\"\".exe\",16,7,LX300 standard,4.30\n"
              "\"/opt/update16/setup \"\"new\"\".exe\",16,9,No folder,\n");
    const std::string table = FormatFlashToolReport(report, ScanOptions::Format::Table);
    EXPECT_NE(table.find("OEM number:    16\n"), std::string::npos);
    EXPECT_NE(table.find("7          LX300 standard  4.30\n"), std::string::npos);
    EXPECT_NE(table.find("9          No folder       -\n"), std::string::npos);

    const FlashToolReport none;
    EXPECT_EQ(FormatFlashToolReport(none, ScanOptions::Format::Json),
              "{\"path\": \"\", \"oem\": -1, \"adapterTypes\": []}\n");
    EXPECT_EQ(FormatFlashToolReport(none, ScanOptions::Format::Table),
              "Flashing tool: none found\nOEM number:    unknown\n");
    // The table names the folder that held no tool, so the user knows where to put it.
    FlashToolReport empty;
    empty.folder = "/home/u/.config/trawlix/";
    EXPECT_EQ(FormatFlashToolReport(empty, ScanOptions::Format::Table),
              "Flashing tool: none found in /home/u/.config/trawlix/\nOEM number:    unknown\n");

    // Folder names are no HTML: a name that looks like a character reference stays as it is.
    FlashToolReport named;
    named.path = "/opt/R&amp;D/firmcaster.exe";
    EXPECT_NE(FormatFlashToolReport(named, ScanOptions::Format::Table).find("/opt/R&amp;D/"), std::string::npos);
    // A name that turns itself around ("setup" + U+202E + "exe.txt" reads "setuptxt.exe") is shown
    // by the code of its override, in every format.
    named.path = "/opt/setup\xE2\x80\xAE"
                 "exe.txt";
    for (const auto format : {ScanOptions::Format::Table, ScanOptions::Format::Csv, ScanOptions::Format::Json}) {
        named.adapterTypes = {{7, "LX300 \xE2\x81\xA6standard", "4.30"}};
        const std::string shown = FormatFlashToolReport(named, format);
        EXPECT_NE(shown.find("/opt/setup<U+202E>exe.txt"), std::string::npos) << shown;
        EXPECT_NE(shown.find("LX300 <U+2066>standard"), std::string::npos) << shown;
    }
}

} // namespace
