#include "cli/options.h"
#include "cli/output.h"
#include "cli/scan_network.h"
#include "resources/string_table.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>

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
    EXPECT_EQ(r.options->prefix, "192.168.1");
    EXPECT_EQ(r.options->firstHost, 1);
    EXPECT_EQ(r.options->lastHost, 254);
    EXPECT_TRUE(r.options->scanRange);
    EXPECT_TRUE(r.options->scanDefaultAddress);
    EXPECT_TRUE(r.options->useHttps);
    EXPECT_EQ(r.options->user, "admin");
    EXPECT_EQ(r.options->password, "lx400-dflt");
    EXPECT_EQ(r.options->jobs, 10);
    EXPECT_EQ(r.options->format, ScanOptions::Format::Table);

    EXPECT_EQ(Parse({"10.0.7.0"}).options->prefix, "10.0.7");
    // A text that is no network is refused, never searched as host names.
    EXPECT_FALSE(Parse({"net"}).options);
}

TEST(ScanOptionsTest, ValuesInBothSpellings)
{
    const auto r = Parse({"--first", "5", "--last=9", "--jobs", "3", "--format=json", "--lang", "de", "--http",
                          "--no-default-address", "--update-server", "127.0.0.1:8080", "--user", "ops", "--no-progress",
                          "172.16.4.*"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->firstHost, 5);
    EXPECT_EQ(r.options->lastHost, 9);
    EXPECT_EQ(r.options->jobs, 3);
    EXPECT_EQ(r.options->format, ScanOptions::Format::Json);
    EXPECT_EQ(r.options->language, ScanOptions::Language::German);
    EXPECT_FALSE(r.options->useHttps);
    EXPECT_FALSE(r.options->scanDefaultAddress);
    EXPECT_FALSE(r.options->progress);
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
        {"1.2.3.*", "4.5.6.*"},
        {"--no-range", "1.2.3.*"},
        {"--no-range", "--no-default-address"},
        {"--user"},
        {"--http=1", "1.2.3.*"},
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

TEST(ScanNetworkTest, OnlyThreeDecimalOctetsAndAStarOrHostMakeANetwork)
{
    const struct
    {
        const char* text;
        const char* prefix; // null: refused
    } cases[] = {
        {"192.168.1.*", "192.168.1"},
        {"192.168.1.77", "192.168.1"},
        {"0.0.0.*", "0.0.0"},
        {"255.255.255.255", "255.255.255"},
        {"", nullptr},
        {"abc", nullptr},
        {"300.1.1.*", nullptr},
        {"1.2.3.4.5", nullptr},
        {"192.168.1", nullptr},
        {"192.168.*", nullptr},
        {"192.168.1.", nullptr},
        {"192.168.1.256", nullptr},
        {"192.168.01.*", nullptr},
        {"0x0a.1.1.*", nullptr},
        {" 10.1.1.*", nullptr},
        {"10.1.1.*.*", nullptr},
        {"10.1.1.**", nullptr},
        {".*", nullptr},
        {"adapter.example.*", nullptr},
    };
    for (const auto& c : cases) {
        const auto network = ParseScanNetwork(c.text);
        if (c.prefix == nullptr) {
            EXPECT_FALSE(network) << '"' << c.text << '"';
            EXPECT_FALSE(Parse({c.text}).options) << '"' << c.text << '"';
            continue;
        }
        ASSERT_TRUE(network) << c.text;
        EXPECT_EQ(network->prefixLength, 24);
        EXPECT_EQ(network->Prefix(), c.prefix);
        EXPECT_EQ(Parse({c.text}).options->prefix, c.prefix);
    }
}

TEST(ScanOptionsTest, DoubleDashEndsTheOptionsAndEmptyPlansSayNothingToSearch)
{
    EXPECT_EQ(Parse({"--no-progress", "--", "10.1.2.*"}).options->prefix, "10.1.2");
    const auto dashed = Parse({"--", "--help"});
    EXPECT_FALSE(dashed.options);
    EXPECT_NE(dashed.error.find("not a subnet"), std::string::npos) << dashed.error;
    EXPECT_FALSE(Parse({"--", "1.2.3.*", "4.5.6.*"}).options);

    for (const auto& args : std::vector<std::vector<std::string>>{{"--no-range", "--no-default-address"},
                                                                  {"--no-range", "--no-default-address", "1.2.3.*"}}) {
        const auto r = Parse(args);
        ASSERT_FALSE(r.options);
        EXPECT_NE(r.error.find("nothing to search"), std::string::npos) << r.error;
    }
}

TEST(ScanOptionsTest, CompareTakesAFileAndATableOrJson)
{
    const auto r = Parse({"--compare", "last.json", "--format", "json", "10.1.2.*"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->compareFile, "last.json");
    EXPECT_EQ(Parse({"--compare=last.json", "10.1.2.*"}).options->compareFile, "last.json");
    EXPECT_FALSE(Parse({"--compare", "last.json", "--format", "csv", "10.1.2.*"}).options);
    EXPECT_FALSE(Parse({"--compare=", "10.1.2.*"}).options);
    EXPECT_FALSE(Parse({"--compare"}).options);
}

TEST(ScanOptionsTest, HelpNamesTheDefaultUpdateServer)
{
    EXPECT_NE(UsageText().find("default www.orvanta.de"), std::string::npos);
}

TEST(OutputTest, EmptyTableSaysNoDeviceFoundInTheLanguage)
{
    trawlix::SetLanguage(trawlix::Language::German);
    EXPECT_EQ(FormatDeviceList({}, ScanOptions::Format::Table), "Kein Ger\xC3\xA4t gefunden\n");
    trawlix::SetLanguage(trawlix::Language::English);
    EXPECT_EQ(FormatDeviceList({}, ScanOptions::Format::Table), "No device found\n");
    EXPECT_EQ(FormatDeviceList({}, ScanOptions::Format::Csv),
              "model,firmware,updateText,manufacturer,mac,ip,location\n");
    EXPECT_EQ(FormatDeviceList({}, ScanOptions::Format::Json), "[]\n");
}

// Output to a full disk is reported in one line; a reader that went away ends it quietly.
TEST(OutputTest, WriteErrorsEndWithStatusOne)
{
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    auto errors = [&] {
        std::rewind(err);
        std::string text(4096, '\0');
        text.resize(std::fread(text.data(), 1, text.size(), err));
        return text;
    };

    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(WriteOutput("No device found\n", full, err), 1);
    std::fclose(full);
    const std::string message = errors();
    EXPECT_EQ(message, "trawlix-scan: cannot write the output: No space left on device\n");

    std::signal(SIGPIPE, SIG_IGN); // as trawlix-scan does
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    std::FILE* pipe = ::fdopen(fds[1], "w");
    ASSERT_NE(pipe, nullptr);
    EXPECT_EQ(WriteOutput(std::string(200000, 'x'), pipe, err), 1);
    std::fclose(pipe);
    EXPECT_EQ(errors(), message); // nothing added

    std::FILE* file = std::tmpfile();
    EXPECT_EQ(WriteOutput("ok\n", file, err), 0);
    std::fclose(file);
    std::fclose(err);
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
}

} // namespace
