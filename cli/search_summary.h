#pragma once

#include "scan/record/device_record.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// What the outputs read by machines (the Prometheus text, the monitoring check) say about a
// search beside its records, and how they read the records: in words that do not depend on the
// language the texts were made in.

struct SearchSummary
{
    std::size_t addresses = 0; // the addresses the search covered
    double durationSeconds = 0;
    bool completed = false;      // it ran to its end: not interrupted, and it could start
    std::int64_t finishedAt = 0; // when it ended, in seconds since 1970 (UTC)
};

enum class AdapterUpdate {
    Available,   // newer firmware on the vendor's server
    UpToDate,    // the vendor has nothing newer
    NotPossible, // too old to be updated by this program
    Unknown      // the vendor could not be asked or its answer not read; or the login was refused
};

// The firmware state of a found adapter.
[[nodiscard]] AdapterUpdate UpdateOf(const DeviceRecord& record);

// Whether a found record is an LX400 adapter that refused the login (listed as "Access denied!",
// in either language), so that nothing but its address is known.
[[nodiscard]] bool RefusedLogin(const DeviceRecord& record);

struct AdapterCounts
{
    std::size_t adapters = 0; // found, refusing ones included
    std::size_t updates = 0;  // with newer firmware available
    std::size_t refused = 0;  // that refused the login
};
[[nodiscard]] AdapterCounts CountAdapters(const std::vector<DeviceRecord>& records);
