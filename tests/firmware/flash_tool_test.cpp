#include "firmware/flash_tool.h"

#include "support/profile/profile.h"
#include "support/text/paths.h"
#include "testsupport/temp_folder.h"
#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path Fixture(const char* name)
{
    return fs::path(testpaths::kSourceDir) / "tests/support/text/fixtures" / name;
}

void CopyFixture(const char* fixture, const fs::path& to)
{
    fs::create_directories(to.parent_path());
    fs::copy_file(Fixture(fixture), to, fs::copy_options::overwrite_existing);
}

DeviceRecord LegacyRecord()
{
    DeviceRecord record;
    record.model = "LX200";
    record.ip = "10.10.10.10";
    record.firmware = "4.10";
    record.deviceId = 7;
    record.found = true;
    return record;
}

DeviceRecord Lx400Record()
{
    DeviceRecord record = LegacyRecord();
    record.model = "LX400";
    record.jsonApi = true;
    record.deviceId = -1;
    return record;
}

// --- Discovery ------------------------------------------------------------------------------------

TEST(FlashToolTest, ToolUnderAnotherNameIsFoundByItsOriginalFilename)
{
    testsupport::TempFolder folder;
    CopyFixture("othertool.exe", folder.Path() / "othertool.exe");
    CopyFixture("noversion.exe", folder.Path() / "firmcaster.exe"); // the right name, but no resource
    CopyFixture("noresource.exe", folder.Path() / "bare.exe");
    CopyFixture("twolang.exe", folder.Path() / "twolang.exe");
    CopyFixture("truncated.exe", folder.Path() / "truncated.exe");
    CopyFixture("setup.exe", folder.Path() / "setup.exe");
    folder.WriteFile("readme.txt", "not a program");

    FlashToolState state;
    const DeviceRecord record = LegacyRecord();
    FindFlashTool(state, &record, folder.Path().string() + "/");
    EXPECT_TRUE(state.flashToolFound);
    EXPECT_EQ(state.flashToolPath, (folder.Path() / "setup.exe").string());
    EXPECT_EQ(FindFlashToolIn(folder.Path().string()), (folder.Path() / "setup.exe").string());
}

TEST(FlashToolTest, ExtensionMatchesWithoutRegardToCaseAndOtherExtensionsAreSkipped)
{
    testsupport::TempFolder folder;
    CopyFixture("setup.exe", folder.Path() / "SETUP.EXE");
    EXPECT_EQ(FindFlashToolIn(folder.Path().string()), (folder.Path() / "SETUP.EXE").string());

    testsupport::TempFolder other;
    CopyFixture("setup.exe", other.Path() / "setup.bin");
    CopyFixture("setup.exe", other.Path() / "setup.exe.bak");
    EXPECT_EQ(FindFlashToolIn(other.Path().string()), "");
}

TEST(FlashToolTest, SubfoldersAreNotSearched)
{
    testsupport::TempFolder folder;
    CopyFixture("setup.exe", folder.Path() / "tools" / "setup.exe");
    CopyFixture("othertool.exe", folder.Path() / "othertool.exe");
    fs::create_directory(folder.Path() / "folder.exe");
    EXPECT_EQ(FindFlashToolIn(folder.Path().string()), "");
}

TEST(FlashToolTest, NoToolClearsTheStateOfAnEarlierDiscovery)
{
    testsupport::TempFolder folder;
    CopyFixture("othertool.exe", folder.Path() / "othertool.exe");
    CopyFixture("noversion.exe", folder.Path() / "noversion.exe");
    FlashToolState state{"/old/update16/firmcaster.exe", true};
    const DeviceRecord record = LegacyRecord();
    FindFlashTool(state, &record, folder.Path().string());
    EXPECT_FALSE(state.flashToolFound);
    EXPECT_EQ(state.flashToolPath, "");

    state = FlashToolState{"/old/update16/firmcaster.exe", true};
    FindFlashTool(state, &record, (folder.Path() / "missing").string());
    EXPECT_FALSE(state.flashToolFound);
    EXPECT_EQ(state.flashToolPath, "");
}

TEST(FlashToolTest, Lx400RowOrNoRecordLeavesTheStateAsItWas)
{
    testsupport::TempFolder folder;
    CopyFixture("setup.exe", folder.Path() / "setup.exe");
    const FlashToolState before{"/old/update16/firmcaster.exe", true};

    FlashToolState state = before;
    const DeviceRecord lx400 = Lx400Record();
    FindFlashTool(state, &lx400, folder.Path().string());
    EXPECT_EQ(state.flashToolPath, before.flashToolPath);
    EXPECT_TRUE(state.flashToolFound);

    FindFlashTool(state, nullptr, folder.Path().string());
    EXPECT_EQ(state.flashToolPath, before.flashToolPath);

    FlashToolState initial;
    FindFlashTool(initial, nullptr);
    EXPECT_FALSE(initial.flashToolFound);
    EXPECT_EQ(initial.flashToolPath, "");
}

TEST(FlashToolTest, DefaultFolderIsTheProgramsOwn)
{
    // The test program's folder holds no flashing tool.
    FlashToolState state{"/old/update16/firmcaster.exe", true};
    const DeviceRecord record = LegacyRecord();
    FindFlashTool(state, &record);
    EXPECT_FALSE(state.flashToolFound);
}

// --- OEM number -----------------------------------------------------------------------------------

TEST(FlashToolTest, OemNumberFromTheFolderName)
{
    EXPECT_EQ(FlashToolOemOfFolderName("update16"), 16);
    EXPECT_EQ(FlashToolOemOfFolderName("update016"), 16);
    EXPECT_EQ(FlashToolOemOfFolderName("update"), 0);
    EXPECT_EQ(FlashToolOemOfFolderName("update7b"), 7);
    EXPECT_EQ(FlashToolOemOfFolderName("update_3"), 0);
    EXPECT_EQ(FlashToolOemOfFolderName("update99999999999999"), 2147483647);
    EXPECT_EQ(FlashToolOemOfFolderName("xupdate7"), -1);
    EXPECT_EQ(FlashToolOemOfFolderName("old-update16"), -1);
    EXPECT_EQ(FlashToolOemOfFolderName("Update16"), -1);
    EXPECT_EQ(FlashToolOemOfFolderName("upd"), -1);
    EXPECT_EQ(FlashToolOemOfFolderName(""), -1);
}

TEST(FlashToolTest, OemNumberOfTheFoundTool)
{
    EXPECT_EQ(FlashToolOem(FlashToolState{"/opt/trawlix/update16/setup.exe", true}), 16);
    EXPECT_EQ(FlashToolOem(FlashToolState{"/opt/trawlix/update016//setup.exe", true}), 16);
    EXPECT_EQ(FlashToolOem(FlashToolState{"/opt/update/setup.exe", true}), 0);
    EXPECT_EQ(FlashToolOem(FlashToolState{"/opt/xupdate7/setup.exe", true}), -1);
    EXPECT_EQ(FlashToolOem(FlashToolState{"/update16/setup.exe", true}), 16);
    EXPECT_EQ(FlashToolOem(FlashToolState{"/opt/update16/setup.exe", false}), -1);
    EXPECT_EQ(FlashToolOem(FlashToolState{"", true}), -1);
}

TEST(FlashToolTest, FoundToolInUpdate16HasOem16)
{
    testsupport::TempFolder folder;
    CopyFixture("setup.exe", folder.Path() / "update16" / "setup.exe");
    FlashToolState state;
    const DeviceRecord record = LegacyRecord();
    FindFlashTool(state, &record, (folder.Path() / "update16").string());
    ASSERT_TRUE(state.flashToolFound);
    EXPECT_EQ(FlashToolOem(state), 16);
}

// --- Local firmware version ---------------------------------------------------------------------

class LocalFirmwareTest : public ::testing::Test
{
protected:
    FlashToolState Tool() const { return FlashToolState{(folder.Path() / "firmcaster.exe").string(), true}; }
    void Ini(const std::string& text) const { folder.WriteFile("firmcast.ini", text); }
    std::string Local(std::int32_t deviceId, const std::string& firmware = "4.10") const
    {
        return LocalFirmwareVersion(Tool(), deviceId, firmware);
    }

    testsupport::TempFolder folder;
};

TEST_F(LocalFirmwareTest, VersionFromTheFilesFolder)
{
    Ini("[AdapterTypes]\nadap00=5|LX200 basic\nadap01=7|LX300 standard|x\n"
        "[LX200 basic]\nfiles=fw200\n[LX300 standard]\nfiles=fw300\nsharedfiles=shared\n");
    folder.WriteFile("fw200/version.txt", "4.20\n");
    folder.WriteFile("fw300/version.txt", "4.30\n");
    folder.WriteFile("shared/version.txt", "9.99\n");
    EXPECT_EQ(Local(5), "4.20");
    EXPECT_EQ(Local(7), "4.30"); // "files" wins over "sharedfiles"
    EXPECT_EQ(Local(8), "4.10");
    EXPECT_EQ(Local(-1), "4.10");
}

TEST_F(LocalFirmwareTest, ListingGivesEveryEntryWithItsVersion)
{
    Ini("[AdapterTypes]\nadap00=5|LX200 basic\nadap01=7|LX300 standard|x\nadap02=9|No folder\n"
        "adap03=11|Empty line\n[LX200 basic]\nfiles=fw200\n[LX300 standard]\nsharedfiles=fw300\n"
        "[No folder]\n[Empty line]\nfiles=empty\n");
    folder.WriteFile("fw200/version.txt", "4.20\n");
    folder.WriteFile("fw300/version.txt", " 4.30 \n");
    folder.WriteFile("empty/version.txt", "\n4.99\n");
    const auto types = ListAdapterTypes(folder.Path().string());
    ASSERT_EQ(types.size(), 4u);
    EXPECT_EQ(types[0].deviceId, 5);
    EXPECT_EQ(types[0].section, "LX200 basic");
    EXPECT_EQ(types[0].localVersion, "4.20");
    EXPECT_EQ(types[1].localVersion, "4.30");
    EXPECT_FALSE(types[2].localVersion.has_value());
    EXPECT_EQ(types[3].localVersion, ""); // an empty first line is a version text too
    EXPECT_EQ(Local(11), "");
    EXPECT_EQ(Local(9), "4.10");
    EXPECT_TRUE(ListAdapterTypes((folder.Path() / "missing").string()).empty());
}

TEST_F(LocalFirmwareTest, SharedFilesOnly)
{
    Ini("[AdapterTypes]\nadap00=7|LX300 standard|x\n[LX300 standard]\nsharedfiles=fw\n");
    folder.WriteFile("fw/version.txt", "  4.28 \nsomething else\n");
    EXPECT_EQ(Local(7), "4.28");
}

TEST_F(LocalFirmwareTest, GapInTheEntryNumbersEndsTheList)
{
    Ini("[AdapterTypes]\nadap00=5|A\nadap02=7|B\n[A]\nfiles=a\n[B]\nfiles=b\n");
    folder.WriteFile("a/version.txt", "1.5\n");
    folder.WriteFile("b/version.txt", "1.7\n");
    EXPECT_EQ(Local(5), "1.5");
    EXPECT_EQ(Local(7), "4.10");
}

TEST_F(LocalFirmwareTest, EntryNumbersGrowToThreeDigits)
{
    std::string ini = "[AdapterTypes]\n";
    for (int n = 0; n <= 100; ++n)
        ini += (n < 10 ? "adap0" : "adap") + std::to_string(n) + "=" + std::to_string(1000 + n) + "|T" +
               std::to_string(n) + "\n";
    ini += "[T100]\nfiles=t100\n[T99]\nfiles=t99\n";
    Ini(ini);
    folder.WriteFile("t100/version.txt", "100.0\n");
    folder.WriteFile("t99/version.txt", "99.0\n");
    EXPECT_EQ(Local(1099), "99.0");
    EXPECT_EQ(Local(1100), "100.0");
}

TEST_F(LocalFirmwareTest, OnlyTheFirstMatchingEntryCounts)
{
    Ini("[AdapterTypes]\nadap00=7|Empty\nadap01=7|Full\n[Empty]\nother=1\n[Full]\nfiles=full\n");
    folder.WriteFile("full/version.txt", "5.0\n");
    EXPECT_EQ(Local(7), "4.10");
}

TEST_F(LocalFirmwareTest, SectionNameIsTrimmedAndIdReadAsNumber)
{
    Ini("[AdapterTypes]\nadap00= 7 |  LX300 standard  |x\n[LX300 standard]\nfiles=fw\n");
    folder.WriteFile("fw/version.txt", "4.28\n");
    EXPECT_EQ(Local(7), "4.28");
}

TEST_F(LocalFirmwareTest, UnknownModelMatchesOnlyAnExplicitEntry)
{
    Ini("[AdapterTypes]\nadap00=-1|Unknown\n[Unknown]\nfiles=unknown\n");
    folder.WriteFile("unknown/version.txt", "0.1\n");
    EXPECT_EQ(Local(-1), "0.1");
    EXPECT_EQ(Local(0), "4.10");
}

TEST_F(LocalFirmwareTest, VersionFileLineRules)
{
    Ini("[AdapterTypes]\nadap00=7|T\n[T]\nfiles=fw\n");
    folder.WriteFile("fw/version.txt", "4.28\r\n");
    EXPECT_EQ(Local(7), "4.28");
    folder.WriteFile("fw/version.txt", "4.28");
    EXPECT_EQ(Local(7), "4.28");
    // An empty first line is a version, an empty one.
    folder.WriteFile("fw/version.txt", "\n4.28\n");
    EXPECT_EQ(Local(7), "");
    folder.WriteFile("fw/version.txt", "   \n");
    EXPECT_EQ(Local(7), "");
    // A file without any character is none.
    folder.WriteFile("fw/version.txt", "");
    EXPECT_EQ(Local(7), "4.10");
    // At most 31 characters of the line are read.
    folder.WriteFile("fw/version.txt", std::string(40, '9') + "\n");
    EXPECT_EQ(Local(7), std::string(31, '9'));
    folder.WriteFile("fw/version.txt", " " + std::string(30, '8') + " tail\n");
    EXPECT_EQ(Local(7), std::string(30, '8'));
}

TEST_F(LocalFirmwareTest, MissingPiecesGiveTheAdaptersOwnFirmware)
{
    // No INI.
    EXPECT_EQ(Local(7), "4.10");
    // No section for the type.
    Ini("[AdapterTypes]\nadap00=7|T\n");
    EXPECT_EQ(Local(7), "4.10");
    // Neither files nor sharedfiles.
    Ini("[AdapterTypes]\nadap00=7|T\n[T]\nfolder=fw\n");
    EXPECT_EQ(Local(7), "4.10");
    // No version file.
    Ini("[AdapterTypes]\nadap00=7|T\n[T]\nfiles=fw\n");
    EXPECT_EQ(Local(7), "4.10");
    // No entries at all.
    Ini("[Other]\nadap00=7|T\n");
    EXPECT_EQ(Local(7, "x"), "x");
}

TEST_F(LocalFirmwareTest, WindowsFolderSeparatorsInTheIni)
{
    Ini("[AdapterTypes]\nadap00=7|T\n[T]\nfiles=firmware\\lx300\n");
    folder.WriteFile("firmware/lx300/version.txt", "4.31\n");
    EXPECT_EQ(Local(7), "4.31");
}

TEST_F(LocalFirmwareTest, NoToolMeansNoLookup)
{
    Ini("[AdapterTypes]\nadap00=7|T\n[T]\nfiles=fw\n");
    folder.WriteFile("fw/version.txt", "4.28\n");
    EXPECT_EQ(LocalFirmwareVersion(FlashToolState{}, 7, "4.10"), "4.10");
}

TEST_F(LocalFirmwareTest, TheDefaultProfileOfTheSettingsIsLeftAlone)
{
    Ini("[AdapterTypes]\nadap00=7|T\n[T]\nfiles=fw\n");
    folder.WriteFile("fw/version.txt", "4.28\n");
    // The settings hold the process-wide profile open; the tool's INI is read beside it.
    testsupport::TempFolder settings;
    const auto ini = settings.WriteFile("trawlix.ini", "[settings]\nautoscan=1\n");
    ASSERT_EQ(open_profile(ini.c_str(), 1), 1);
    EXPECT_EQ(Local(7), "4.28");
    EXPECT_EQ(ListAdapterTypes(folder.Path().string()).size(), 1u);
    std::string value;
    EXPECT_EQ(read_profile_key("settings", "autoscan", value), 1);
    EXPECT_EQ(value, "1");
    EXPECT_EQ(close_profile(), 1);
}

// --- Launch ---------------------------------------------------------------------------------------

// Sets PATH for one test and puts it back afterwards.
class ScopedPath
{
public:
    explicit ScopedPath(const std::string& value)
    {
        if (const char* old = std::getenv("PATH"))
            old_ = old;
        setenv("PATH", value.c_str(), 1);
    }
    ~ScopedPath()
    {
        if (old_)
            setenv("PATH", old_->c_str(), 1);
        else
            unsetenv("PATH");
    }
    ScopedPath(const ScopedPath&) = delete;
    ScopedPath& operator=(const ScopedPath&) = delete;

private:
    std::optional<std::string> old_;
};

struct StartCall
{
    std::string program;
    std::vector<std::string> arguments;
};

class LaunchTest : public ::testing::Test
{
protected:
    void Executable(const std::string& name) const
    {
        const fs::path file = folder.WriteFile("bin/" + name, "#!/bin/sh\nexit 0\n");
        fs::permissions(file, fs::perms::owner_all);
    }
    ProcessStarter Recorder(bool result = true)
    {
        return [this, result](const std::string& program, const std::vector<std::string>& arguments) {
            calls.push_back(StartCall{program, arguments});
            return result;
        };
    }
    std::string Bin() const { return (folder.Path() / "bin").string(); }

    testsupport::TempFolder folder;
    std::vector<StartCall> calls;
    const FlashToolState tool{"/opt/trawlix/update16/setup.exe", true};
};

TEST_F(LaunchTest, ThroughWineWithTheAddress)
{
    Executable("wine");
    Executable("xdg-open");
    const ScopedPath path(Bin());
    EXPECT_TRUE(LaunchFlashTool(tool, "10.10.10.10", Recorder()));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].program, Bin() + "/wine");
    EXPECT_EQ(calls[0].arguments, (std::vector<std::string>{tool.flashToolPath, "-ip", "10.10.10.10"}));
}

TEST_F(LaunchTest, ThroughWineWithoutAnAddress)
{
    Executable("wine");
    const ScopedPath path("/nonexistent:" + Bin());
    EXPECT_TRUE(LaunchFlashTool(tool, "", Recorder()));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arguments, (std::vector<std::string>{tool.flashToolPath}));
}

TEST_F(LaunchTest, WithoutWineTheDesktopOpensTheFile)
{
    Executable("xdg-open");
    folder.WriteFile("bin/wine", "not executable");
    const ScopedPath path(Bin());
    EXPECT_FALSE(LaunchFlashTool(tool, "192.168.1.20", Recorder(false)));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].program, Bin() + "/xdg-open");
    EXPECT_EQ(calls[0].arguments, (std::vector<std::string>{tool.flashToolPath}));
}

TEST_F(LaunchTest, NoToolStartsNothing)
{
    Executable("wine");
    const ScopedPath path(Bin());
    EXPECT_FALSE(LaunchFlashTool(FlashToolState{}, "10.10.10.10", Recorder()));
    EXPECT_TRUE(calls.empty());
}

TEST_F(LaunchTest, FindOnPath)
{
    Executable("tool");
    folder.WriteFile("plain/tool", "x");
    const ScopedPath path(":" + (folder.Path() / "plain").string() + "::" + Bin());
    EXPECT_EQ(FindOnPath("tool"), Bin() + "/tool");
    EXPECT_EQ(FindOnPath("absent"), "");
    EXPECT_EQ(FindOnPath("bin/tool"), "");
    EXPECT_EQ(FindOnPath(""), "");
}

bool WaitForFile(const fs::path& file)
{
    for (int i = 0; i < 500; ++i) {
        if (fs::exists(file) && fs::file_size(file) > 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST_F(LaunchTest, DetachedProcessStartsAndFailuresAreReported)
{
    const fs::path marker = folder.Path() / "marker";
    ASSERT_TRUE(StartDetachedProcess("/bin/sh", {"-c", "echo \"$0 $1\" > \"$2\"", "started", "-ip", marker.string()}));
    ASSERT_TRUE(WaitForFile(marker));
    EXPECT_EQ(testsupport::TempFolder::ReadFile(marker), "started -ip\n");

    // Looked up on PATH.
    const fs::path second = folder.Path() / "second";
    ASSERT_TRUE(StartDetachedProcess("sh", {"-c", "echo ok > \"$0\"", second.string()}));
    EXPECT_TRUE(WaitForFile(second));

    EXPECT_FALSE(StartDetachedProcess((folder.Path() / "absent").string(), {}));
    EXPECT_FALSE(StartDetachedProcess("trawlix-no-such-program", {}));
    // Executable bit, but nothing the kernel can run: exec fails in the child.
    const fs::path junk = folder.WriteFile("junk", std::string("\x01\x02\x03\x04 no program", 16));
    fs::permissions(junk, fs::perms::owner_all);
    EXPECT_FALSE(StartDetachedProcess(junk.string(), {}));
    const fs::path text = folder.WriteFile("text.exe", "plain text");
    EXPECT_FALSE(StartDetachedProcess(text.string(), {}));
}

} // namespace
