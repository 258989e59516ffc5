#pragma once

#include "scan/record/device_record.h"

// The order of the device list: the state of the last header click and the comparison a sort
// uses. Columns are those of kDeviceColumns, by index.

struct SortState
{
    // Column of the last header click; -1 before the first.
    int column = -1;
    bool ascending = true;
};

// Negative, 0 or positive, by the column's order (ColumnOrder). Without a sort state, when either
// row has no record, or for a column that does not exist, 0. A descending state exchanges the two
// rows.
[[nodiscard]] int CompareRecords(const DeviceRecord* a, const DeviceRecord* b, const SortState* sortState);
