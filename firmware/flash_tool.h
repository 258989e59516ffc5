#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/record/device_record.h"

// The vendor's flashing tool in the folder the front ends name (the folder of trawlix.ini, which
// is beside the program unless it is installed): finding it among the executables of a folder
// by the original file name in its version resource, its OEM number from the name of its
// folder, the firmware version its firmware folders hold for a model, and starting it against
// an adapter. Everything here runs on the main window's thread.

// The original file name by which the tool is recognised (compared without regard to case).
inline constexpr std::string_view kFlashToolOriginalName = "firmcaster.exe";
// The tool's settings, in its folder.
inline constexpr const char* kFlashToolIni = "firmcast.ini";
// First line: the firmware version a firmware folder holds.
inline constexpr const char* kFirmwareVersionFile = "version.txt";
// At most this many characters of that line are read.
inline constexpr std::size_t kFirmwareVersionMaxChars = 31;
// The adapter type's section name is taken with at most this many characters.
inline constexpr std::size_t kAdapterSectionMaxChars = 127;

// The main window's tool state: the full path of the tool, empty when none was found, and
// whether the last discovery found it (the device list enables Update Firmware by it).
struct FlashToolState
{
    std::string flashToolPath;
    bool flashToolFound = false;
};

// Starts `program` with `arguments` (the words after the program name) as a process of its own
// that nobody waits for. True when the process started. The seam through which tests watch
// what would be started.
using ProcessStarter = std::function<bool(const std::string& program, const std::vector<std::string>& arguments)>;

// Full path of the first file matching "*.exe" directly in `folder` (file system order) whose
// version resource names kFlashToolOriginalName as its original file name; empty when none does.
[[nodiscard]] std::string FindFlashToolIn(const std::string& folder);

// The discovery of the Update Firmware command. `selected` is the record of the selected row,
// null when no row is selected or it holds no record. Without a record, or for an LX400 record,
// the state stays as it is; otherwise it is cleared and set from a search of `folder` (by
// default the program's own folder).
void FindFlashTool(FlashToolState& state, const DeviceRecord* selected);
void FindFlashTool(FlashToolState& state, const DeviceRecord* selected, const std::string& folder);

// The tool's OEM number from the name of its folder ("update16" gives 16); -1 when no tool was
// found or the folder's name does not start with "update".
[[nodiscard]] int FlashToolOem(const FlashToolState& state);
// The rule for one folder name: "update" followed by a decimal number (none: 0); -1 when the
// name does not start with "update" (letters compared case-sensitively).
[[nodiscard]] int FlashToolOemOfFolderName(std::string_view name);

// The firmware version that the tool's firmware folders hold for adapters with `deviceId`,
// from "firmcast.ini" and the first line of the model's "version.txt"; `firmware` when they
// tell none, or when no tool was found.
[[nodiscard]] std::string LocalFirmwareVersion(const FlashToolState& state, std::int32_t deviceId,
                                               const std::string& firmware);

// One "AdapterTypes" entry of a tool folder's "firmcast.ini", with the first line (trimmed) of
// the "version.txt" in its firmware folder; none when no folder is named or the file is unreadable.
struct AdapterTypeEntry
{
    std::int32_t deviceId = 0;
    std::string section;
    std::optional<std::string> localVersion;
};
// Every "AdapterTypes" entry of `toolFolder`, in key order; empty without a readable INI. The INI
// is read with a profile of its own, whatever the process-wide one holds.
[[nodiscard]] std::vector<AdapterTypeEntry> ListAdapterTypes(const std::string& toolFolder);

// Starts the tool, with "-ip" and `ip` as its arguments when `ip` is not empty: through wine
// when wine is on PATH, otherwise through xdg-open (which passes no arguments on). True when a
// process started; false at once when no tool path is known.
bool LaunchFlashTool(const FlashToolState& state, const std::string& ip = {}, const ProcessStarter& starter = {});

// The real starter: a detached process (double fork, so it is never left as a zombie), the
// program looked up on PATH when its name holds no '/'. True when the program was executed.
bool StartDetachedProcess(const std::string& program, const std::vector<std::string>& arguments);

// Full path of the executable `name` in the folders of PATH; empty when there is none.
[[nodiscard]] std::string FindOnPath(std::string_view name);
