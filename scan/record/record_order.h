#pragma once

#include "scan/record/device_record.h"

#include <string>

// The order of the device list: the state of the last header click and the comparison a sort
// uses. Columns are the list's: 0 device, 1 firmware, 2 update, 3 manufacturer, 4 MAC, 5 IP
// address, 6 location.

struct SortState
{
    // Column of the last header click; -1 before the first.
    int column = -1;
    bool ascending = true;
};

// Negative, 0 or positive. Without a sort state, or when either row has no record, 0. Text
// columns compare the record's bytes with ASCII letters folded (versions compare as text, so
// 10.1 sorts before 4.26); the IP address column compares only the last octet, padded to three
// digits, and addresses without a dot after their first character compare equal to every other.
// A descending state exchanges the two rows.
[[nodiscard]] int CompareRecords(const DeviceRecord* a, const DeviceRecord* b, const SortState* sortState);

// The record's field shown in `column` (6 and any other column: the location).
[[nodiscard]] const std::string& FieldOfColumn(const DeviceRecord& record, int column);
