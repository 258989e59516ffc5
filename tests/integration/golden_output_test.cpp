// trawlix-scan's output on the shipped sample network, against the files in golden/: the device
// table in both languages, CSV, JSON, --explain as text and JSON, --compare with an earlier
// inventory, and --help. A change of any of them shows here; where it is meant, the files are
// written anew with TRAWLIX_UPDATE_GOLDEN=1 and the difference is reviewed like code.
#include "testsupport/child_process.h"
#include "testsupport/private_network.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

const std::string kGolden = std::string(TRAWLIX_SOURCE_DIR) + "/tests/integration/golden";

class GoldenOutput : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        const std::string file = std::string(TRAWLIX_SIM_NETWORKS) + "/sample.net";
        std::string failed;
        ASSERT_TRUE(testsupport::AddNetworkAddresses(testsupport::TempFolder::ReadFile(file), &failed)) << failed;
        sim_ = new ChildProcess(TRAWLIX_SIM_PATH, {file});
        ASSERT_TRUE(sim_->WaitForOutput("ready", 30s)) << sim_->Errors();
    }
    static void TearDownTestSuite() { delete sim_; }

    static ChildProcess* sim_;
};

ChildProcess* GoldenOutput::sim_ = nullptr;

void Replace(std::string& text, const std::string& what, const std::string& with)
{
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
        text.replace(at, what.size(), with);
}

TEST_F(GoldenOutput, TrawlixScanPrintsWhatTheGoldenFilesHold)
{
    const std::string inventory = kGolden + "/inventory.json";
    const struct
    {
        const char* name;
        std::vector<std::string> args;
        bool errors; // the file holds standard error, not the list
        int status;
    } cases[] = {
        {"table-en", {"--lang", "en", "192.168.77.*"}, false, 0},
        {"table-de", {"--lang", "de", "192.168.77.*"}, false, 0},
        {"csv-de", {"--lang", "de", "--format", "csv", "192.168.77.*"}, false, 0},
        {"json-en", {"--lang", "en", "--format", "json", "192.168.77.*"}, false, 0},
        {"explain-en", {"--lang", "en", "--explain", "192.168.77.*"}, true, 0},
        {"explain-json",
         {"--lang", "de", "--explain", "--format", "json", "--first", "45", "--last", "55", "192.168.77.*"},
         true,
         0},
        {"compare-en", {"--lang", "en", "--compare", inventory, "192.168.77.*"}, false, 3},
        {"compare-de", {"--lang", "de", "--compare", inventory, "192.168.77.*"}, false, 3},
        {"compare-json", {"--lang", "de", "--format", "json", "--compare", inventory, "192.168.77.*"}, false, 3},
        {"help", {"--help"}, false, 0},
    };
    const bool update = std::getenv("TRAWLIX_UPDATE_GOLDEN") != nullptr;
    for (const auto& c : cases) {
        std::vector<std::string> args{"--no-progress", "--update-server", "10.99.0.1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ChildProcess scan(TRAWLIX_SCAN_PATH, args);
        ASSERT_TRUE(scan.Wait(120s)) << c.name;
        EXPECT_EQ(scan.ExitCode(), c.status) << c.name << ": " << scan.Errors();
        std::string text = c.errors ? scan.Errors() : scan.Output();
        Replace(text, inventory, "inventory.json");
        const std::string golden = kGolden + "/" + c.name + ".txt";
        if (update) {
            std::ofstream(golden, std::ios::binary) << text;
            continue;
        }
        ASSERT_TRUE(std::filesystem::exists(golden)) << golden;
        EXPECT_EQ(text, testsupport::TempFolder::ReadFile(golden)) << c.name;
    }
}

} // namespace
