// The real trawlix program under Xvfb in a private network namespace: it searches at start, and
// SIGTERM during the search closes it the way its close box does, saving the settings without
// disturbing the lines of the file it did not change.
#include "testsupport/child_process.h"
#include "testsupport/private_network.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;
namespace fs = std::filesystem;

// A hand-kept settings file: remarks, odd spacing, a foreign topic, the keys the program reads.
constexpr const char* kSettings = "; Orvanta GmbH (www.orvanta.de)\r\n"
                                  "; kept by hand; do not lose this remark\r\n"
                                  "[other]\r\n"
                                  "colour = blue\r\n"
                                  "\r\n"
                                  "[settings]\r\n"
                                  "subnets=10.58.0.*;;10.0.0.*\r\n"
                                  "autoscan=1\r\n"
                                  "scansubnet=1\r\n"
                                  "scan10=0\r\n"
                                  "selsubnet=10.58.0.*\r\n"
                                  "subnetrange=1;40\r\n"
                                  "https=0\r\n"
                                  "updateserver=10.99.0.1\r\n"
                                  "   ; indented remark\r\n";

constexpr const char* kNetwork = "legacy 10.58.0.5 plain-width hardware=LX300|firmware=LX200 v 4.26.16|mac=00:11\n"
                                 "host 10.58.0.6 silent\n"
                                 "host 10.58.0.7 silent\n"
                                 "vendor 10.99.0.1\n";

TEST(GuiShutdown, SigtermDuringASearchSavesTheSettingsAndKeepsTheFile)
{
    testsupport::TempFolder folder;
    std::string failed;
    ASSERT_TRUE(testsupport::AddNetworkAddresses(kNetwork, &failed)) << failed;
    const auto network = folder.WriteFile("test.net", kNetwork);
    const std::string log = (folder.Path() / "requests.log").string();
    ChildProcess sim(TRAWLIX_SIM_PATH, {network.string(), "--log", log});
    ASSERT_TRUE(sim.WaitForOutput("ready", 30s)) << sim.Errors();

    ChildProcess xvfb("/usr/bin/Xvfb", {":97", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
    for (int i = 0; i < 300 && !fs::exists("/tmp/.X11-unix/X97"); ++i)
        std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(fs::exists("/tmp/.X11-unix/X97")) << xvfb.Errors();

    // The program keeps its settings beside itself: run a copy from the test's folder.
    const fs::path program = folder.Path() / "trawlix";
    fs::copy_file(TRAWLIX_GUI_PATH, program);
    const auto ini = folder.WriteFile("trawlix.ini", kSettings);

    ChildProcess trawlix(program.string(), {}, {"DISPLAY=:97", "QT_QPA_PLATFORM=xcb", "LANG=C"});
    ASSERT_TRUE(trawlix.Started());
    // The automatic search reaches the adapter, and the silent hosts keep it running.
    for (int i = 0;
         i < 1000 && testsupport::TempFolder::ReadFile(log).find("10.58.0.5 GET /net.shtml") == std::string::npos; ++i)
        std::this_thread::sleep_for(20ms);
    ASSERT_NE(testsupport::TempFolder::ReadFile(log).find("10.58.0.5 GET /net.shtml"), std::string::npos)
        << trawlix.Errors();
    ASSERT_FALSE(trawlix.Wait(0ms)) << "the search should still run";

    trawlix.Signal(SIGTERM);
    ASSERT_TRUE(trawlix.Wait(30s)) << "the program did not close";
    EXPECT_EQ(trawlix.ExitCode(), 0) << trawlix.Errors();
    // The stored networks are written back without the empty entry; every other line is as it
    // was, byte for byte.
    std::string expected = kSettings;
    expected.replace(expected.find(";;"), 2, ";");
    EXPECT_EQ(testsupport::TempFolder::ReadFile(ini), expected);
    xvfb.Signal(SIGTERM);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::filesystem::exists("/usr/bin/Xvfb")) {
        std::fprintf(stderr, "skipped: no Xvfb\n");
        return testsupport::kSkippedExitCode;
    }
    if (!testsupport::EnterPrivateNetworkOrSaySkipped())
        return testsupport::kSkippedExitCode;
    return RUN_ALL_TESTS();
}
