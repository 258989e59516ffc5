#pragma once

// What the Update Firmware command tests share: a legacy adapter with newer firmware on the
// vendor's server, flashing-tool folders made on demand, and a PATH of the test's own so that
// wine is present only when a test puts it there.
#include "firmware/firmware_command.h"
#include "resources/string_table.h"
#include "testsupport/temp_folder.h"
#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class FirmwareCommandFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        trawlix::SetLanguage(trawlix::Language::English);
        savedPath_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        std::filesystem::create_directories(root.Path() / "bin");
        setenv("PATH", (root.Path() / "bin").c_str(), 1);
        record.ip = "192.168.1.20";
        record.model = "LX300";
        record.firmware = "4.26";
        record.latestFirmware = "4.30";
        record.oem = "16";
        record.deviceId = 7;
        record.updateState = 1;
    }
    void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }

    // Puts the flashing tool into folder `name` with firmware `local` for device 7.
    std::string ToolFolder(const std::string& name, const std::string& local = "4.30")
    {
        const std::filesystem::path folder = root.Path() / name;
        std::filesystem::create_directories(folder / "fw");
        std::filesystem::copy_file(std::filesystem::path(testpaths::kSourceDir) /
                                       "tests/support/text/fixtures/setup.exe",
                                   folder / "setup.exe", std::filesystem::copy_options::overwrite_existing);
        root.WriteFile(name + "/firmcast.ini", "[AdapterTypes]\nadap00=7|LX300\n[LX300]\nfiles=fw\n");
        root.WriteFile(name + "/fw/version.txt", local + "\n");
        return folder.string();
    }
    std::string EmptyFolder()
    {
        std::filesystem::create_directories(root.Path() / "empty");
        return (root.Path() / "empty").string();
    }

    // The command's context for `selected` with the tool searched in `folder`.
    FirmwareCommandContext Context(const std::string& folder, const DeviceRecord* selected)
    {
        FirmwareCommandContext context;
        context.selected = selected;
        context.tool = &tool;
        context.toolFolder = folder;
        context.vendorHost = "www.example.test";
        return context;
    }

    testsupport::TempFolder root;
    DeviceRecord record;
    FlashToolState tool;

private:
    std::string savedPath_;
};
