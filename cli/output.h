#pragma once

#include "cli/options.h"
#include "scan/device_record.h"

#include <optional>
#include <string>
#include <vector>

// Numeric order of dotted IPv4 addresses; text that is not one sorts after every address.
[[nodiscard]] bool IpLess(const std::string& a, const std::string& b);

// The found records, sorted by IP address, in the chosen format. `headers` are the seven column
// captions in the current language (Device, Firmware, Update, Manufacturer, MAC, IP, Location).
[[nodiscard]] std::string FormatRecords(std::vector<DeviceRecord> records, ScanOptions::Format format,
                                        const std::vector<std::string>& headers);

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
