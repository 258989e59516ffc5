#include "cli/search_summary.h"

AdapterCounts CountAdapters(const std::vector<DeviceRecord>& records)
{
    AdapterCounts counts;
    for (const DeviceRecord& record : records) {
        if (!record.found || record.endOfSearch)
            continue;
        ++counts.adapters;
        counts.updates += UpdateOf(record) == AdapterUpdate::Available ? 1 : 0;
        counts.refused += RefusedLogin(record) ? 1 : 0;
    }
    return counts;
}
