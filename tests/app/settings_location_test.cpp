#include <gtest/gtest.h>

#include <string>

#include "app/settings_location.h"
#include "testsupport/temp_folder.h"

namespace {

SettingsEnvironment Environment(bool programFolderWritable, std::string xdg, std::string home)
{
    SettingsEnvironment environment;
    environment.programDirectory = "/opt/trawlix/bin/";
    environment.xdgConfigHome = std::move(xdg);
    environment.home = std::move(home);
    environment.isWritableDirectory = [programFolderWritable](const std::string& folder) {
        EXPECT_EQ(folder, "/opt/trawlix/bin/");
        return programFolderWritable;
    };
    return environment;
}

TEST(SettingsLocation, ChoosesTheProgramFolderOrThePerUserFile)
{
    struct Case
    {
        bool writable;
        const char* xdg;
        const char* home;
        const char* path;
    };
    const Case cases[] = {
        {true, "/x/config", "/home/u", "/opt/trawlix/bin/trawlix.ini"},
        {false, "/x/config", "/home/u", "/x/config/trawlix/trawlix.ini"},
        {false, "/x/config/", "/home/u", "/x/config/trawlix/trawlix.ini"},
        {false, "", "/home/u", "/home/u/.config/trawlix/trawlix.ini"},
        {false, "relative/config", "/home/u", "/home/u/.config/trawlix/trawlix.ini"},
        {false, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.xdg) + " | " + c.home);
        EXPECT_EQ(SettingsFilePath(Environment(c.writable, c.xdg, c.home)), c.path);
    }

    SettingsEnvironment noProgramFolder = Environment(true, "", "/home/u");
    noProgramFolder.programDirectory.clear();
    EXPECT_EQ(SettingsFilePath(noProgramFolder), "/home/u/.config/trawlix/trawlix.ini");

    // An installed program run by root: its folder is writable, its settings still go to the user.
    for (const char* folder : {"/usr/bin/", "/usr/local/bin/", "/bin/", "/sbin/"}) {
        SettingsEnvironment installed = Environment(true, "", "/root");
        installed.programDirectory = folder;
        installed.isWritableDirectory = [](const std::string&) { return true; };
        EXPECT_EQ(SettingsFilePath(installed), "/root/.config/trawlix/trawlix.ini") << folder;
    }
    SettingsEnvironment usrLike = Environment(true, "", "/root");
    usrLike.programDirectory = "/usrlocal/trawlix/";
    usrLike.isWritableDirectory = [](const std::string&) { return true; };
    EXPECT_EQ(SettingsFilePath(usrLike), "/usrlocal/trawlix/trawlix.ini");
}

TEST(SettingsLocation, TheFlashingToolIsLookedForBesideTheSettings)
{
    // Run from its own folder: beside the program; installed: the per-user folder, where a
    // user can put the tool; with no place for settings at all: still the program's folder.
    EXPECT_EQ(FlashToolFolder(Environment(true, "", "/home/u")), "/opt/trawlix/bin/");
    EXPECT_EQ(FlashToolFolder(Environment(false, "", "/home/u")), "/home/u/.config/trawlix/");
    EXPECT_EQ(FlashToolFolder(Environment(false, "/x/config", "/home/u")), "/x/config/trawlix/");
    EXPECT_EQ(FlashToolFolder(Environment(false, "", "")), "/opt/trawlix/bin/");
    SettingsEnvironment installed = Environment(true, "", "/home/u");
    installed.programDirectory = "/usr/bin/";
    EXPECT_EQ(FlashToolFolder(installed), "/home/u/.config/trawlix/");
}

TEST(SettingsLocation, SystemEnvironment)
{
    const SettingsEnvironment environment = SystemSettingsEnvironment();
    ASSERT_FALSE(environment.programDirectory.empty());
    EXPECT_EQ(environment.programDirectory.back(), '/');
    testsupport::TempFolder folder;
    EXPECT_TRUE(environment.isWritableDirectory(folder.Path().string()));
    EXPECT_FALSE(environment.isWritableDirectory((folder.Path() / "missing").string()));
    EXPECT_FALSE(SettingsFilePath(environment).empty());
}

} // namespace
