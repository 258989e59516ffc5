#pragma once

#include "scan/record/adapter_state.h"
#include "scan/record/device_record.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// What the outputs read by machines (the Prometheus text, the monitoring check) say about a
// search beside its records.

struct SearchSummary
{
    std::size_t addresses = 0; // the addresses the search covered
    double durationSeconds = 0;
    bool completed = false;      // it ran to its end: not interrupted, and it could start
    std::int64_t finishedAt = 0; // when it ended, in seconds since 1970 (UTC)
};

struct AdapterCounts
{
    std::size_t adapters = 0; // found, refusing ones included
    std::size_t updates = 0;  // with newer firmware available
    std::size_t refused = 0;  // that refused the login
};
[[nodiscard]] AdapterCounts CountAdapters(const std::vector<DeviceRecord>& records);
