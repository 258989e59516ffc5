// Every branch of the Update Firmware command, with dialogs and boxes answered by the test and
// the started programs and opened addresses observed.
#include "firmware/command_fixture.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

class ScriptedUi final : public FirmwareCommandUi
{
public:
    int AskFirmware(const FirmwareDialog& dialog) override
    {
        dialogs.push_back(dialog);
        return Next();
    }
    void Warn(const std::string& text) override { warnings.push_back(text); }
    int AskYesNo(const std::string& text) override
    {
        questions.push_back(text);
        return Next();
    }
    bool OpenUrl(const std::string& url) override
    {
        urls.push_back(url);
        return openSucceeds;
    }
    bool StartProcess(const std::string& program, const std::vector<std::string>& arguments) override
    {
        std::string line = program;
        for (const std::string& argument : arguments)
            line += " " + argument;
        started.push_back(line);
        return true;
    }

    std::deque<int> answers;
    bool openSucceeds = true;
    std::vector<FirmwareDialog> dialogs;
    std::vector<std::string> warnings;
    std::vector<std::string> questions;
    std::vector<std::string> urls;
    std::vector<std::string> started;

private:
    int Next()
    {
        if (answers.empty())
            return kCancel;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// No wine on the fixture's PATH: the tool is handed to the desktop's opener, which the UI observes.
class FirmwareCommandTest : public FirmwareCommandFixture
{
protected:
    void Run(const std::string& folder, const DeviceRecord* selected)
    {
        OnUpdateFirmware(Context(folder, selected), ui);
    }

    ScriptedUi ui;
};

TEST_F(FirmwareCommandTest, WithoutToolLegacyDownloadsTheZipAndExplainsIt)
{
    ui.answers = {FirmwareCommandUi::kDownload};
    Run(EmptyFolder(), &record);
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].title, "Download firmware");
    EXPECT_EQ(ui.dialogs[0].downloadText, "Download firmware 4.30");
    EXPECT_TRUE(ui.dialogs[0].showDownload);
    EXPECT_FALSE(ui.dialogs[0].showUpdate);
    EXPECT_NE(ui.dialogs[0].message.find("Version on device is 4.26\nVersion on Orvanta website is 4.30."),
              std::string::npos);
    EXPECT_EQ(ui.urls, std::vector<std::string>{"http://www.example.test/firmcast/update16.zip"});
    ASSERT_EQ(ui.warnings.size(), 1u);
    EXPECT_NE(ui.warnings[0].find("\"update16.zip\""), std::string::npos);
    EXPECT_TRUE(ui.started.empty());
}

TEST_F(FirmwareCommandTest, Lx400DownloadsThePaddedArchiveEvenWhenAToolIsThere)
{
    record.jsonApi = true;
    record.oem = "7";
    tool = FlashToolState{ToolFolder("update7") + "/setup.exe", true};
    ui.answers = {FirmwareCommandUi::kDownload};
    Run(ToolFolder("update7"), &record);
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_FALSE(ui.dialogs[0].showUpdate);
    EXPECT_EQ(ui.urls, std::vector<std::string>{"http://www.example.test/ovweb/lx400/update007.tar.gz"});
    ASSERT_EQ(ui.warnings.size(), 1u);
    EXPECT_NE(ui.warnings[0].find("\"update007.tar.gz\""), std::string::npos);
    EXPECT_TRUE(ui.started.empty());
}

TEST_F(FirmwareCommandTest, CancelOrAFailedOpenEndsQuietly)
{
    Run(EmptyFolder(), &record); // the dialog is cancelled
    EXPECT_TRUE(ui.urls.empty());
    ui.answers = {FirmwareCommandUi::kDownload};
    ui.openSucceeds = false;
    Run(EmptyFolder(), &record);
    EXPECT_EQ(ui.urls.size(), 1u);
    EXPECT_TRUE(ui.warnings.empty());
}

TEST_F(FirmwareCommandTest, WithToolBothButtonsAndDownloadUsesTheZip)
{
    const std::string folder = ToolFolder("update16", "4.28");
    ui.answers = {FirmwareCommandUi::kDownload};
    Run(folder, &record);
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].title, "Download or update firmware");
    EXPECT_TRUE(ui.dialogs[0].showDownload);
    EXPECT_TRUE(ui.dialogs[0].showUpdate);
    EXPECT_EQ(ui.dialogs[0].updateText, "Update to firmware 4.28");
    EXPECT_NE(ui.dialogs[0].message.find("Version on local disk is 4.28"), std::string::npos);
    EXPECT_EQ(ui.urls, std::vector<std::string>{"http://www.example.test/firmcast/update16.zip"});

    ui.answers = {FirmwareCommandUi::kUpdate};
    Run(folder, &record);
    ASSERT_EQ(ui.started.size(), 1u);
    EXPECT_EQ(ui.started[0], "xdg-open " + folder + "/setup.exe"); // no wine on this PATH
    EXPECT_TRUE(ui.questions.empty());                             // same OEM
}

TEST_F(FirmwareCommandTest, WineStartsTheToolAgainstTheAdapter)
{
    root.WriteFile("bin/wine", "#!/bin/sh\n");
    fs::permissions(root.Path() / "bin/wine", fs::perms::owner_all);
    const std::string folder = ToolFolder("update16");
    record.updateState = 0;
    record.firmware = "4.30";
    Run(folder, &record);
    ASSERT_EQ(ui.started.size(), 1u);
    EXPECT_EQ(ui.started[0], (root.Path() / "bin/wine").string() + " " + folder + "/setup.exe -ip 192.168.1.20");
    EXPECT_TRUE(ui.dialogs.empty());
}

TEST_F(FirmwareCommandTest, DowngradeAsksFirstAndCancelStops)
{
    const std::string folder = ToolFolder("update16", "4.20");
    record.updateState = 0;
    Run(folder, &record); // cancelled
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].title, "Update firmware");
    EXPECT_EQ(ui.dialogs[0].iconId, FirmwareCommandUi::kWarningIcon);
    EXPECT_FALSE(ui.dialogs[0].showDownload);
    EXPECT_NE(
        ui.dialogs[0].message.find("newer firmware version 4.26 on the device with the older firmware version 4.20"),
        std::string::npos);
    EXPECT_TRUE(ui.started.empty());

    ui.answers = {FirmwareCommandUi::kUpdate};
    Run(folder, &record);
    EXPECT_EQ(ui.started.size(), 1u);
}

TEST_F(FirmwareCommandTest, OemCheckAsksOnlyForAnotherKnownOem)
{
    record.updateState = 0;
    record.firmware = "4.30";
    record.oem = "7";
    const std::string other = ToolFolder("update16");
    Run(other, &record); // No (the default answer of this script is Cancel, which is not Yes)
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_NE(ui.questions[0].find("firmware of OEM 7 with the firmware of OEM 16"), std::string::npos);
    EXPECT_TRUE(ui.started.empty());

    ui.answers = {FirmwareCommandUi::kYes};
    Run(other, &record);
    EXPECT_EQ(ui.started.size(), 1u);

    ui.questions.clear();
    Run(ToolFolder("update"), &record); // "update" alone: OEM 0, asks
    EXPECT_EQ(ui.questions.size(), 1u);
    ui.questions.clear();
    const std::string unknown = ToolFolder("tools");
    Run(unknown, &record); // not "update...": unknown OEM, no question
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(ui.started.size(), 2u);
}

TEST_F(FirmwareCommandTest, NoRowStartsTheToolWithoutAddressAndStateTwoDoesNothing)
{
    const std::string folder = ToolFolder("update16");
    tool = FlashToolState{folder + "/setup.exe", true};
    Run(folder, nullptr);
    ASSERT_EQ(ui.started.size(), 1u);
    EXPECT_EQ(ui.started[0], "xdg-open " + folder + "/setup.exe");

    record.updateState = 2;
    Run(folder, &record);
    EXPECT_EQ(ui.started.size(), 1u);
    EXPECT_TRUE(ui.dialogs.empty());

    record.updateState = 0;
    Run(EmptyFolder(), &record); // excluded by the button rule
    EXPECT_EQ(ui.warnings, std::vector<std::string>{"This box should not appear!"});
}

TEST(FirmwareCommandRules, ButtonRuleAndPadding)
{
    DeviceRecord legacy;
    legacy.updateState = 0;
    EXPECT_FALSE(UpdateFirmwareEnabled(&legacy, false));
    EXPECT_TRUE(UpdateFirmwareEnabled(&legacy, true));
    legacy.updateState = 2;
    EXPECT_FALSE(UpdateFirmwareEnabled(&legacy, true));
    legacy.updateState = 1;
    EXPECT_TRUE(UpdateFirmwareEnabled(&legacy, false));
    DeviceRecord lx400;
    lx400.jsonApi = true;
    EXPECT_FALSE(UpdateFirmwareEnabled(&lx400, true)); // the tool does not update LX400 adapters
    EXPECT_TRUE(UpdateFirmwareEnabled(nullptr, true));
    EXPECT_FALSE(UpdateFirmwareEnabled(nullptr, false));

    EXPECT_EQ(PaddedOem("16"), "016");
    EXPECT_EQ(PaddedOem(""), "000");
    EXPECT_EQ(PaddedOem("1234"), "1234");
}

} // namespace
