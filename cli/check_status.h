#pragma once

#include "cli/search_summary.h"
#include "scan/record/device_record.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// trawlix-scan --check: the search as a monitoring plugin of Nagios, Icinga or Naemon sees it, one
// status line with performance data and the exit status the plugin host reads:
//   0 OK, 1 WARNING (firmware updates available; with a comparison also new or changed adapters),
//   2 CRITICAL (with a comparison: adapters gone), 3 UNKNOWN (the search could not run or was cut
//   short, wrong usage included).
// The line is "TRAWLIX STATUS: text | label=value[UOM];warn;crit;min;max ...", the thresholds in
// the plugins' range notation ("0": more than none is a problem).

enum class CheckStatus { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

// How many adapters a comparison with an earlier inventory found new, gone and changed (the sizes
// of an InventoryDiff's lists).
struct ChangeCounts
{
    std::size_t added = 0;
    std::size_t gone = 0;
    std::size_t changed = 0;
};

struct CheckResult
{
    CheckStatus status = CheckStatus::Unknown;
    std::string line; // ends with a line feed

    [[nodiscard]] int ExitCode() const { return static_cast<int>(status); }
};

// The status of a search from the adapters it found, and with `changes` of its comparison.
[[nodiscard]] CheckResult CheckSearch(const std::vector<DeviceRecord>& records, const SearchSummary& summary,
                                      const std::optional<ChangeCounts>& changes);

// UNKNOWN with `reason` (wrong usage, a search that could not start), on one line.
[[nodiscard]] CheckResult CheckCannotRun(const std::string& reason);
