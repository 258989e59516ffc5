#pragma once

#include "cli/options.h"
#include "scan/device_record.h"

#include <optional>
#include <string>
#include <vector>

// Record text as people should see it, as UTF-8: LX400 values are UTF-8 already; legacy values
// are ISO-8859-1 unless they are valid UTF-8 with multi-byte sequences (a page whose re-encoding
// failed). Invalid UTF-8 from an LX400 is shown with U+FFFD instead of being passed on.
[[nodiscard]] std::string DisplayText(const std::string& bytes, bool jsonApi);

// Numeric order of dotted IPv4 addresses; text that is not one sorts after every address.
[[nodiscard]] bool IpLess(const std::string& a, const std::string& b);

// The found records, sorted by IP address, in the chosen format. `headers` are the seven column
// captions in the current language (Device, Firmware, Update, Manufacturer, MAC, IP, Location).
[[nodiscard]] std::string FormatRecords(std::vector<DeviceRecord> records, ScanOptions::Format format,
                                        const std::vector<std::string>& headers);

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
