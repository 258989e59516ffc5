#pragma once

#include "cli/options.h"
#include "scan/record/record_format.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// Why the searched addresses without a row are not listed, from their records: for the JSON
// format one array of {"ip", "reason", "detail"} with every such address (silent ones with the
// reason "silent"), otherwise one line per address that was not silent, sorted by address, and a
// line that counts the silent ones.
[[nodiscard]] std::string FormatExplanation(std::vector<DeviceRecord> missing, ScanOptions::Format format);

// Gives the factory address among `missing` the reason "no-route" with `advice`: without a route
// it stays as silent as a switched-off adapter, and only the routing table tells the two apart.
void ExplainMissingFactoryRoute(std::vector<DeviceRecord>& missing, const std::string& advice);

// What `trawlix-scan --flash-tool` reports: the folder searched, the tool found (path empty when
// none), its OEM number (-1 unknown) and the adapter types of its "firmcast.ini".
struct FlashToolReport
{
    std::string folder;
    std::string path;
    int oem = -1;
    struct AdapterType
    {
        int deviceId = 0;
        std::string section;
        std::optional<std::string> localVersion;
    };
    std::vector<AdapterType> adapterTypes;
};
[[nodiscard]] std::string FormatFlashToolReport(const FlashToolReport& report, ScanOptions::Format format);

// The device list as trawlix-scan prints it. The table has its captions in the current language
// and says "No device found" (in that language) when the list is empty; CSV and JSON are the
// shared list formats.
[[nodiscard]] std::string FormatDeviceList(const std::vector<DeviceRecord>& records, ScanOptions::Format format);

// Writes all of `text` to `out` and flushes it. Returns the exit status: 0, or 1 after a failed
// write, which is reported in one line on `err`. A reader that went away (a closed pipe, as in
// `trawlix-scan ... | head -1`) is not worth a message: it asked for no more.
[[nodiscard]] int WriteOutput(const std::string& text, std::FILE* out, std::FILE* err);
