#include "cli/options.h"
#include "cli/output.h"
#include "resources/string_table.h"
#include "scan/scan_plan.h"
#include "support/text/ipv4.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
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

// Networks files as a site keeps them, and some that are wrong.
std::optional<std::string> NetworksFile(const std::string& path, std::string* reason)
{
    const std::map<std::string, std::string> files = {
        {"site.net", "# site 42\n10.1.2.0/30\n\n   10.1.3.4/31\t# printer room\r\n#10.1.4.*\n"},
        {"more.net", "10.1.9.*"},
        {"empty.net", "# nothing yet\n\n"},
        {"bad.net", "10.1.2.*\n\n10.1.2\n"},
        {"two.net", "10.1.2.* 10.1.3.*\n"},
        {"hostless.net", "10.1.2.*\n7.8.9.4/30\n"},
    };
    if (const auto it = files.find(path); it != files.end())
        return it->second;
    *reason = "No such file or directory";
    return std::nullopt;
}

ParseResult Parse(std::vector<std::string> args, const char* env = nullptr)
{
    return ParseScanOptions(args, env, &SecretFile, &NetworksFile);
}

scan::Ipv4Network Net(const char* text)
{
    return scan::ParseNetwork(text).value_or(scan::Ipv4Network{});
}

TEST(ScanOptionsTest, DefaultsAndPrefixFromSubnet)
{
    const auto r = Parse({"192.168.1.*"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->networks.at(0), Net("192.168.1.0/24"));
    EXPECT_EQ(r.options->firstHost, 1);
    EXPECT_EQ(r.options->lastHost, 254);
    EXPECT_TRUE(r.options->scanRange);
    EXPECT_TRUE(r.options->scanDefaultAddress);
    EXPECT_TRUE(r.options->login.useHttps);
    EXPECT_EQ(r.options->login.user, "admin");
    EXPECT_EQ(r.options->login.password, "lx400-dflt");
    EXPECT_EQ(r.options->jobs, 10);
    EXPECT_EQ(r.options->format, ScanOptions::Format::Table);
    EXPECT_TRUE(r.options->discovery);

    EXPECT_EQ(Parse({"10.0.7.0"}).options->networks.at(0), Net("10.0.7.0/24"));
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
    EXPECT_FALSE(r.options->login.useHttps);
    EXPECT_FALSE(r.options->scanDefaultAddress);
    EXPECT_FALSE(r.options->progress);
    EXPECT_FALSE(r.options->discovery);
    EXPECT_EQ(r.options->updateServer, "127.0.0.1:8080");
    EXPECT_EQ(r.options->login.user, "ops");
}

TEST(ScanOptionsTest, PasswordFileWinsOverEnvironment)
{
    EXPECT_EQ(Parse({"1.2.3.*"}, "from-env").options->login.password, "from-env");
    EXPECT_EQ(Parse({"--password-file", "pw.txt", "1.2.3.*"}, "from-env").options->login.password, "from-file");
    EXPECT_FALSE(ParseScanOptions({"--password-file", "pw.txt", "1.2.3.*"}, nullptr, &NoFile).options);
}

TEST(ScanOptionsTest, WrongUsageGivesOneLineReason)
{
    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{}, "a subnet is needed, e.g. 192.168.1.* or 10.20.0.0/22"},
        {{"--first", "0x5", "1.2.3.*"}, "--first must be a number from 0 to 254"},
        {{"--first", "255", "1.2.3.*"}, "--first must be a number from 0 to 254"},
        {{"--last", "0", "1.2.3.*"}, "--last must be a number from 1 to 254"},
        {{"--last"}, "--last needs a host number"},
        {{"--first", "9", "--last", "3", "1.2.3.*"}, "--first must not be greater than --last"},
        {{"--jobs", "0", "1.2.3.*"}, "--jobs must be a number from 1 to 255"},
        {{"--jobs=256", "1.2.3.*"}, "--jobs must be a number from 1 to 255"},
        {{"1.2.3.*", "--jobs"}, "--jobs must be a number from 1 to 255"},
        {{"--format", "xml", "1.2.3.*"}, "unknown format xml (table, csv, json or prometheus)"},
        {{"--format"}, "--format needs table, csv, json or prometheus"},
        {{"--lang", "fr", "1.2.3.*"}, "unknown language fr (en or de)"},
        {{"--bogus", "1.2.3.*"}, "unknown option --bogus"},
        {{"1.2.3.*", "4.5.6.*/24"}, "not a subnet: \"4.5.6.*/24\""},
        {{"--no-range", "1.2.3.*"}, "--no-range searches only 10.10.10.10 and takes no subnet"},
        {{"--no-range", "--no-default-address"},
         "nothing to search: --no-range and --no-default-address leave no address"},
        {{"--user"}, "--user needs a name"},
        {{"--update-server=", "1.2.3.*"}, "--update-server needs HOST[:PORT]"},
        {{"--compare", "", "1.2.3.*"}, "--compare needs the FILE of an earlier --format json result"},
        {{"--password-file", "none.txt", "1.2.3.*"}, "cannot read the password file none.txt"},
        {{"--http=1", "1.2.3.*"}, "unknown option --http=1"},
        {{"--no-discovery=1", "1.2.3.*"}, "unknown option --no-discovery=1"},
        {{"--=x", "1.2.3.*"}, "unknown option --=x"},
        {{"--flash-tool", "tools", "1.2.3.*"}, "--flash-tool reports a tool folder and takes no subnet"},
        {{std::string(200, '1') + ".*"}, "not a subnet"},
        {{"--exclude"}, "--exclude needs a NET"},
        {{"--exclude", "1.2.3", "1.2.3.*"}, "--exclude: not a subnet: \"1.2.3\""},
        {{"--exclude", "1.2.3.7", "1.2.3.*"},
         "--exclude 1.2.3.7 would leave out all of 1.2.3.0/24: write 1.2.3.7/32 for the one address, or 1.2.3.* "
         "for the network"},
        {{"--no-range", "--exclude", "10.10.10.10/32"}, "nothing to search: --exclude leaves no address"},
        {{"--no-default-address", "--exclude=1.2.0.0/16", "1.2.3.*"}, "nothing to search: --exclude leaves"},
        {{"--networks-file", "none.net"}, "cannot read the networks file none.net: No such file or directory"},
        {{"--networks-file", "bad.net"}, "bad.net:3: not a subnet: \"10.1.2\""},
        {{"--networks-file", "two.net"}, "two.net:1: one network a line, not \"10.1.2.* 10.1.3.*\""},
        {{"--networks-file", "empty.net"}, "no network to search in empty.net (one NET a line"},
        {{"--first", "10", "--networks-file", "hostless.net"}, "nothing to search in 7.8.9.4/30 with hosts 10"},
        {{"--no-range", "--networks-file", "site.net"}, "--no-range searches only 10.10.10.10 and takes no subnet"},
        {{"--output=", "1.2.3.*"}, "--output needs a FILE"},
        {{"--vendor-cache-hours", "721", "1.2.3.*"}, "--vendor-cache-hours must be a number from 0 to 720"},
        {{"--vendor-cache-hours=1.5", "1.2.3.*"}, "--vendor-cache-hours must be a number from 0 to 720"},
        {{"--compare", "a.json", "--format", "prometheus", "1.2.3.*"},
         "--compare prints a table or JSON, not Prometheus text"},
        {{"--flash-tool", "--check"}, "--flash-tool reports a tool folder and takes no --check"},
        {{"--flash-tool", "--format", "prometheus"}, "--flash-tool reports a tool folder and takes no --format"},
    };
    for (const auto& [args, error] : wrong) {
        const auto r = Parse(args);
        EXPECT_FALSE(r.options) << ::testing::PrintToString(args);
        EXPECT_EQ(r.error.substr(0, error.size()), error) << ::testing::PrintToString(args);
        EXPECT_EQ(r.error.find('\n'), std::string::npos);
    }
    EXPECT_TRUE(Parse({"--no-range"}).options);
    EXPECT_TRUE(Parse({"--help"}).options->showHelp);
    EXPECT_TRUE(Parse({"-h"}).options->showHelp);
    EXPECT_TRUE(Parse({"--version"}).options->showVersion);
    EXPECT_EQ(Parse({"--flash-tool", "--no-progress"}).options->flashToolDir, "");
    EXPECT_EQ(Parse({"--flash-tool=tools"}).options->flashToolDir, "tools");
    // Without a parse, whether the plugin was asked for decides how the error is said.
    EXPECT_TRUE(AsksForCheck({"--bogus", "--check"}));
    EXPECT_FALSE(AsksForCheck({"--bogus", "--", "--check"}));
}

// The addresses a search plans, in start order, for the networks given on the command line and
// in networks files, with networks left out.
TEST(ScanOptionsTest, NetworksFilesAndExcludedNetworksInTheAddressPlan)
{
    const std::pair<std::vector<std::string>, std::string> plans[] = {
        {{"--networks-file", "site.net"}, "10.10.10.10 10.1.2.1 10.1.2.2 10.1.2.3 10.1.3.4 10.1.3.5"},
        {{"--networks-file=site.net", "--last", "4", "10.1.9.*"},
         "10.10.10.10 10.1.9.1 10.1.9.2 10.1.9.3 10.1.9.4 10.1.2.1 10.1.2.2 10.1.2.3 10.1.3.4"},
        {{"--no-default-address", "--first", "2", "--last", "4", "--networks-file", "more.net", "--networks-file",
          "site.net"},
         "10.1.9.2 10.1.9.3 10.1.9.4 10.1.2.2 10.1.2.3 10.1.3.4"},
        {{"--networks-file", "site.net", "--exclude", "10.1.2.2/32", "--exclude", "10.1.3.0/24"},
         "10.10.10.10 10.1.2.1 10.1.2.3"},
        {{"--networks-file", "empty.net", "10.1.2.0/30"}, "10.10.10.10 10.1.2.1 10.1.2.2 10.1.2.3"},
        {{"--exclude", "10.1.2.0/31", "10.1.2.0/30"}, "10.10.10.10 10.1.2.2 10.1.2.3"},
        // The factory address is left out like any other, also inside a searched network.
        {{"--last", "3", "--exclude", "10.10.10.10/32", "10.10.10.*"}, "10.10.10.1 10.10.10.2 10.10.10.3"},
        {{"--exclude", "10.10.0.0/16", "10.1.2.0/31"}, "10.1.2.1"},
        {{"--no-range", "--exclude", "10.1.0.0/16"}, "10.10.10.10"},
    };
    for (const auto& [args, expected] : plans) {
        const auto r = Parse(args);
        ASSERT_TRUE(r.options) << ::testing::PrintToString(args) << ": " << r.error;
        std::string planned;
        for (const scan::PlannedAddress& p :
             scan::PlanAddresses(r.options->Networks(), r.options->scanRange, r.options->scanDefaultAddress))
            planned += (planned.empty() ? "" : " ") + p.address.Text();
        EXPECT_EQ(planned, expected) << ::testing::PrintToString(args);
    }
}

TEST(ScanOptionsTest, TheNetworksFileIsReadWholeUpToALimit)
{
    std::string reason;
    EXPECT_FALSE(ReadTextFile("/nonexistent/site.net", &reason));
    EXPECT_EQ(reason, "No such file or directory");
    // A device without an end is refused, not read for ever.
    EXPECT_FALSE(ReadTextFile("/dev/zero", &reason));
    EXPECT_EQ(reason, "larger than 1024 KiB");
}

TEST(ScanOptionsTest, UsageNamesEveryOptionWithItsHelpInOneColumn)
{
    const std::string usage = UsageText();
    std::istringstream lines(usage);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 104u) << line;
        // An option too wide for the column has its help on the lines below.
        if (line.rfind("  ", 0) != 0 || line.size() <= 32 || line.find("  ", 2) == std::string::npos)
            continue;
        // The help starts after 31 characters, at least two of them blanks, or continues there.
        EXPECT_NE(line[31], ' ') << line;
        EXPECT_EQ(line.substr(29, 2), "  ") << line;
    }
    for (const std::string& option : std::vector<std::string>{
             "--first N, --last N", "--user NAME", "--jobs N",
             "--format table|csv|json|prometheus\n" + std::string(31, ' '), "--flash-tool [DIR]", "--version, --help",
             "\n  --  ", "--networks-file FILE", "--exclude NET", "--output FILE", "--check", "--vendor-cache-hours H"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    // The defaults it names are the core's.
    EXPECT_NE(usage.find("default admin\n"), std::string::npos);
    EXPECT_NE(usage.find("1 to 255, default 10\n"), std::string::npos);
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

TEST(ScanOptionsTest, SeveralNetworksInTheOrderGivenAndNoneWithoutAHost)
{
    const auto r = Parse({"--first", "10", "1.2.3.*", "4.5.6.0/23", "--last", "20", "1.2.3.9", "--", "7.8.9.12/30"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->networks.size(), 4u);
    std::string addresses;
    for (const Ipv4Address address : r.options->Networks().Addresses())
        addresses += address.Text() + " ";
    EXPECT_EQ(addresses.substr(0, 21), "1.2.3.10 1.2.3.11 1.2");
    EXPECT_EQ(r.options->Networks().Addresses().size(), 11u + 22u + 4u);
    EXPECT_EQ(r.options->Networks().Addresses().back(), Ipv4Address(7, 8, 9, 15));
    // --first and --last leave nothing of 7.8.9.4/30: said, not searched around.
    const auto empty = Parse({"--first", "10", "1.2.3.*", "7.8.9.4/30"});
    EXPECT_FALSE(empty.options);
    EXPECT_NE(empty.error.find("nothing to search in 7.8.9.4/30"), std::string::npos) << empty.error;
    EXPECT_NE(Parse({"1.2.3.*", "1.2.3.0/30", "abc"}).error.find("\"abc\""), std::string::npos);
}

TEST(ScanOptionsTest, DoubleDashCompareAndEmptyPlans)
{
    EXPECT_EQ(Parse({"--no-progress", "--", "10.1.2.*"}).options->networks.at(0), Net("10.1.2.0/24"));
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
