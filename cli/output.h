#pragma once

#include "cli/options.h"
#include "scan/record_format.h"

#include <optional>
#include <string>
#include <vector>

// Why the searched addresses without a row are not listed, from their records: for the JSON
// format one array of {"ip", "reason", "detail"} with every such address (silent ones with the
// reason "silent"), otherwise one line per address that was not silent, sorted by address, and a
// line that counts the silent ones.
[[nodiscard]] std::string FormatExplanation(std::vector<DeviceRecord> missing, ScanOptions::Format format);

// What `trawlix-scan --flash-tool` reports: the tool found (path empty when none), its OEM number
// (-1 unknown) and the adapter types of its "firmcast.ini".
struct FlashToolReport
{
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
