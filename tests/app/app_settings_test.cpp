#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "support/profile/profile.h"
#include "testsupport/temp_folder.h"

using testsupport::TempFolder;
using Subnets = std::vector<std::string>;

namespace {

const std::string kHeader = kProfileHeader;

InterfaceAddressSource Networks(std::vector<std::uint32_t> addresses)
{
    return [addresses] {
        std::vector<InterfaceAddress> list;
        for (const std::uint32_t address : addresses)
            list.push_back(InterfaceAddress{"eth0", true, address, true, false});
        return list;
    };
}

void ExpectDefaults(const AppSettings& s)
{
    EXPECT_TRUE(s.autoScan);
    EXPECT_FALSE(s.scanRange);
    EXPECT_TRUE(s.scanDefaultAddress);
    EXPECT_FALSE(s.suppressNoRoute);
    EXPECT_TRUE(s.useHttps);
    EXPECT_EQ(s.subnet, "");
    EXPECT_TRUE(s.storedSubnets.empty());
    EXPECT_EQ(s.firstHost, 1);
    EXPECT_EQ(s.lastHost, 254);
    EXPECT_EQ(s.updateServer, "");
}

TEST(AppSettings, FirstStartKeepsDefaults)
{
    TempFolder folder;
    AppSettings settings;
    settings.autoScan = false;
    settings.storedSubnets = {"stale"};
    settings.Load((folder.Path() / "trawlix.ini").string());
    EXPECT_TRUE(settings.firstStart);
    ExpectDefaults(settings);
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "trawlix.ini"));

    // A file that exists but holds nothing is no first start.
    settings.Load(folder.WriteFile("trawlix.ini", "").string());
    EXPECT_FALSE(settings.firstStart);
    ExpectDefaults(settings);
}

TEST(AppSettings, LoadReadsEveryKey)
{
    struct Case
    {
        const char* line;
        void (*check)(const AppSettings&);
    };
    const Case cases[] = {
        {"subnetrange=20",
         [](const AppSettings& s) {
             EXPECT_EQ(s.firstHost, 20);
             EXPECT_EQ(s.lastHost, 254);
         }},
        {"subnetrange=10;20",
         [](const AppSettings& s) {
             EXPECT_EQ(s.firstHost, 10);
             EXPECT_EQ(s.lastHost, 20);
         }},
        {"subnetrange=;30",
         [](const AppSettings& s) {
             EXPECT_EQ(s.firstHost, 0);
             EXPECT_EQ(s.lastHost, 30);
         }},
        {"subnetrange=abc;7x;9",
         [](const AppSettings& s) {
             EXPECT_EQ(s.firstHost, 0);
             EXPECT_EQ(s.lastHost, 7);
         }},
        {"subnetrange=99999999999;-99999999999",
         [](const AppSettings& s) {
             EXPECT_EQ(s.firstHost, 2147483647);
             EXPECT_EQ(s.lastHost, -2147483647 - 1);
         }},
        {"subnets=a;;b;",
         [](const AppSettings& s) {
             EXPECT_EQ(s.storedSubnets, (Subnets{"a", "b"}));
         }},
        {"subnets=;", [](const AppSettings& s) { EXPECT_TRUE(s.storedSubnets.empty()); }},
        {"https=0", [](const AppSettings& s) { EXPECT_FALSE(s.useHttps); }},
        {"autoscan=0", [](const AppSettings& s) { EXPECT_FALSE(s.autoScan); }},
        {"autoscan=-1", [](const AppSettings& s) { EXPECT_TRUE(s.autoScan); }},
        {"autoscan=no", [](const AppSettings& s) { EXPECT_FALSE(s.autoScan); }},
        {"autoscan=99999999999", [](const AppSettings& s) { EXPECT_TRUE(s.autoScan); }},
        {"scansubnet=1", [](const AppSettings& s) { EXPECT_TRUE(s.scanRange); }},
        {"scan10=0", [](const AppSettings& s) { EXPECT_FALSE(s.scanDefaultAddress); }},
        {"selsubnet= 10.0.0.* ", [](const AppSettings& s) { EXPECT_EQ(s.subnet, "10.0.0.*"); }},
        {"updateserver=127.0.0.1:8080", [](const AppSettings& s) { EXPECT_EQ(s.updateServer, "127.0.0.1:8080"); }},
        {"SUBNETS=x", [](const AppSettings& s) { EXPECT_EQ(s.storedSubnets, (Subnets{"x"})); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        TempFolder folder;
        AppSettings settings;
        settings.Load(folder.WriteFile("trawlix.ini", std::string("[Settings]\n") + c.line + "\n").string());
        EXPECT_FALSE(settings.firstStart);
        c.check(settings);
    }
}

TEST(AppSettings, LongSubnetTextsAreCut)
{
    TempFolder folder;
    AppSettings settings;
    settings.Load(folder.WriteFile("trawlix.ini", "[settings]\nsubnets=" + std::string(300, 'a') + ";b\n").string());
    EXPECT_EQ(settings.storedSubnets, (Subnets{std::string(kMaxSubnetText, 'a'), "b"}));
}

TEST(AppSettings, SaveIntoNewFileGivesHeaderTopicAndKeysInOrder)
{
    TempFolder folder;
    const auto path = folder.Path() / "trawlix.ini";
    AppSettings settings;
    settings.storedSubnets = {"192.168.1.*", "10.0.0.*"};
    settings.subnet = "10.0.0.*";
    settings.scanRange = true;
    settings.updateServer = "never.written";
    EXPECT_TRUE(settings.Save(path.string()));
    EXPECT_EQ(TempFolder::ReadFile(path), kHeader + "\n[settings]\n"
                                                    "subnets=192.168.1.*;10.0.0.*\n"
                                                    "autoscan=1\n"
                                                    "scansubnet=1\n"
                                                    "scan10=1\n"
                                                    "selsubnet=10.0.0.*\n"
                                                    "subnetrange=1;254\n");

    AppSettings loaded;
    loaded.Load(path.string());
    EXPECT_FALSE(loaded.firstStart);
    EXPECT_EQ(loaded.storedSubnets, settings.storedSubnets);
    EXPECT_EQ(loaded.subnet, settings.subnet);
    EXPECT_TRUE(loaded.scanRange);
    EXPECT_EQ(loaded.updateServer, "");
}

TEST(AppSettings, SaveOfDefaultsLeavesEmptyTextsOut)
{
    TempFolder folder;
    const auto path = folder.Path() / "trawlix.ini";
    EXPECT_TRUE(AppSettings{}.Save(path.string()));
    EXPECT_EQ(TempFolder::ReadFile(path),
              kHeader + "\n[settings]\nautoscan=1\nscansubnet=0\nscan10=1\nsubnetrange=1;254\n");
}

TEST(AppSettings, SaveKeepsWhatItDoesNotWrite)
{
    TempFolder folder;
    const std::string original = "; kept by hand\r\n"
                                 "[settings]\r\n"
                                 "https=0\r\n"
                                 "updateserver=10.1.1.1\r\n"
                                 "AutoScan = 1 ; remark\r\n"
                                 "subnets=a;b\r\n"
                                 "\r\n"
                                 "[other]\r\n"
                                 "x=1\r\n";
    const auto path = folder.WriteFile("trawlix.ini", original);
    AppSettings settings;
    settings.Load(path.string());
    EXPECT_FALSE(settings.useHttps);
    EXPECT_EQ(settings.updateServer, "10.1.1.1");
    settings.useHttps = true; // never written back
    settings.autoScan = false;
    EXPECT_TRUE(settings.Save(path.string()));
    EXPECT_EQ(TempFolder::ReadFile(path), "; kept by hand\r\n"
                                          "[settings]\r\n"
                                          "https=0\r\n"
                                          "updateserver=10.1.1.1\r\n"
                                          "autoscan=0\r\n"
                                          "subnets=a;b\r\n"
                                          "scansubnet=0\r\n"
                                          "scan10=1\r\n"
                                          "subnetrange=1;254\r\n"
                                          "\r\n"
                                          "[other]\r\n"
                                          "x=1\r\n");
}

TEST(AppSettings, SaveCreatesThePerUserFolderAndFailsQuietly)
{
    TempFolder folder;
    const auto path = folder.Path() / "config" / "trawlix" / "trawlix.ini";
    EXPECT_TRUE(AppSettings{}.Save(path.string()));
    EXPECT_TRUE(std::filesystem::exists(path));

    const auto blocker = folder.WriteFile("file", "not a folder");
    EXPECT_FALSE(AppSettings{}.Save((blocker / "trawlix.ini").string()));
    EXPECT_FALSE(AppSettings{}.Save(""));
}

TEST(AppSettings, CopyToWindowPutsLocalNetworksFirst)
{
    AppSettings app;
    app.storedSubnets = {"10.0.0.*", "192.168.1.*", "A.*", "a.*"};
    app.firstHost = 5;
    app.lastHost = 50;
    app.scanRange = true;
    app.useHttps = false;
    ScanSettings window;
    window.storedSubnets = {"left over"};
    CopyToWindow(app, window, Networks({0xC0A80117, 0xAC100001}));
    EXPECT_EQ(window.storedSubnets, (Subnets{"192.168.1.*", "172.16.0.*", "10.0.0.*", "A.*", "a.*"}));
    EXPECT_EQ(window.subnet, "192.168.1.*");
    EXPECT_EQ(window.firstHost, 5);
    EXPECT_EQ(window.lastHost, 50);
    EXPECT_EQ(window.scanRange, 1);
    EXPECT_EQ(window.scanDefaultAddress, 1);
    EXPECT_EQ(window.autoScan, 1);
    EXPECT_EQ(window.useHttps, 0);
    EXPECT_EQ(window.user, "admin");
    EXPECT_EQ(window.password, "lx400-dflt");

    app.subnet = "10.0.0.*";
    CopyToWindow(app, window, Networks({}));
    EXPECT_EQ(window.subnet, "10.0.0.*");
    EXPECT_EQ(window.storedSubnets, app.storedSubnets);

    CopyToWindow(AppSettings{}, window, Networks({}));
    EXPECT_EQ(window.subnet, "");
    EXPECT_TRUE(window.storedSubnets.empty());
}

TEST(AppSettings, DetectedNetworkIsSavedForTheNextStart)
{
    TempFolder folder;
    const auto path = folder.WriteFile("trawlix.ini", "[settings]\nsubnets=10.0.0.*\n").string();
    AppSettings app;
    app.Load(path);
    ScanSettings window;
    CopyToWindow(app, window, Networks({0xC0A8012A}));
    window.user = "other";
    window.autoScan = 0;
    CopyFromWindow(app, window);
    EXPECT_FALSE(app.autoScan);
    ASSERT_TRUE(app.Save(path));

    AppSettings next;
    next.Load(path);
    EXPECT_EQ(next.storedSubnets, (Subnets{"192.168.1.*", "10.0.0.*"}));
    EXPECT_EQ(next.subnet, "192.168.1.*"); // chosen at window start for want of a selection
    ScanSettings nextWindow;
    CopyToWindow(next, nextWindow, Networks({}));
    EXPECT_EQ(nextWindow.storedSubnets, (Subnets{"192.168.1.*", "10.0.0.*"}));
    EXPECT_EQ(nextWindow.user, "admin");
}

TEST(AppSettings, DialogSettingsAddTheirSubnetOnce)
{
    ScanSettings window;
    window.storedSubnets = {"192.168.1.*"};
    ScanSettings dialog;
    dialog.subnet = "10.0.0.*";
    dialog.firstHost = 3;
    dialog.lastHost = 4;
    dialog.user = "u";
    dialog.password = "p";
    dialog.useHttps = 0;
    dialog.storedSubnets = {"ignored"};
    ApplyDialogSettings(window, dialog);
    ApplyDialogSettings(window, dialog);
    EXPECT_EQ(window.storedSubnets, (Subnets{"192.168.1.*", "10.0.0.*"}));
    EXPECT_EQ(window.subnet, "10.0.0.*");
    EXPECT_EQ(window.firstHost, 3);
    EXPECT_EQ(window.lastHost, 4);
    EXPECT_EQ(window.user, "u");
    EXPECT_EQ(window.password, "p");
    EXPECT_EQ(window.useHttps, 0);
}

} // namespace

namespace {

// The window's settings become the search's plan: the switches, the subnet's /24 with the host
// range, and the login; a subnet text that names no network leaves the range empty.
TEST(AppSettings, TheWindowsSettingsGiveTheSearchPlan)
{
    ScanSettings settings;
    settings.subnet = "192.168.4.*";
    settings.firstHost = 250;
    settings.lastHost = 252;
    settings.scanDefaultAddress = 1;
    settings.scanRange = 1;
    settings.user = "tech";
    settings.password = "secret";
    settings.useHttps = 0;
    const auto shown = [](const scan::SearchPlan& plan) {
        std::string out;
        for (const scan::PlannedAddress& address :
             scan::PlanAddresses(plan.networks, plan.scanRange, plan.scanDefaultAddress))
            out += address.address.Text() + " ";
        return out;
    };
    scan::SearchPlan plan = SearchPlanOf(settings);
    EXPECT_EQ(shown(plan), "10.10.10.10 192.168.4.250 192.168.4.251 192.168.4.252 ");
    EXPECT_EQ(plan.login, (scan::Login{"tech", "secret", false}));

    settings.scanDefaultAddress = 0;
    settings.subnet = "192.168.4.0";
    EXPECT_EQ(shown(SearchPlanOf(settings)), "192.168.4.250 192.168.4.251 192.168.4.252 ");
    settings.subnet = "lan.*";
    EXPECT_EQ(shown(SearchPlanOf(settings)), "");
    settings.subnet = "192.168.4.*";
    settings.scanRange = 0;
    settings.scanDefaultAddress = 1;
    EXPECT_EQ(shown(SearchPlanOf(settings)), "10.10.10.10 ");
}

} // namespace
