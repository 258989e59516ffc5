#pragma once

#include "cli/options.h"
#include "scan/record/device_record.h"

#include <optional>
#include <string>
#include <vector>

// The inventory comparison of `trawlix-scan --compare FILE`: an earlier --format json result read
// back, matched against the adapters found now, and what changed.

// The adapters of an earlier result as records that show the texts of the file, or a one-line
// reason why the text is not such a result. Both forms trawlix-scan writes are read: the list, and the object of an
// earlier comparison (its "devices").
struct InventoryReadResult
{
    std::optional<std::vector<DeviceRecord>> devices;
    std::string error;
};
[[nodiscard]] InventoryReadResult ParseInventory(const std::string& json);
// The same for a file; the reason names the file.
[[nodiscard]] InventoryReadResult ReadInventoryFile(const std::string& path);

// One adapter found before and now with different values, both as shown (display text);
// `fields` names them in list order, by their JSON names (model, firmware, updateState,
// manufacturer, mac, ip, location).
struct DeviceChange
{
    DeviceRecord before;
    DeviceRecord now;
    std::vector<std::string> fields;
};

struct InventoryDiff
{
    std::vector<DeviceRecord> added; // found now only
    std::vector<DeviceRecord> gone;  // listed before only
    std::vector<DeviceChange> changed;

    [[nodiscard]] bool Empty() const { return added.empty() && gone.empty() && changed.empty(); }
};

// Matches the adapters by MAC address; one without a MAC (an LX400 that refused the login) is
// matched by IP address, comparing the texts as shown. `before` comes from ParseInventory, `now`
// from the search; `added` and `gone` hold their records as given, and each list is sorted by
// address.
[[nodiscard]] InventoryDiff CompareInventory(const std::vector<DeviceRecord>& before,
                                             const std::vector<DeviceRecord>& now);

// The devices found now and what changed since `source`: as a table (the device table, then the
// new, gone and changed adapters), or as one JSON object
// {"devices": [...], "new": [...], "gone": [...], "changed": [{"mac", "ip", "fields"}]}.
[[nodiscard]] std::string FormatComparison(const std::vector<DeviceRecord>& now, const InventoryDiff& diff,
                                           ScanOptions::Format format, const std::string& source);
