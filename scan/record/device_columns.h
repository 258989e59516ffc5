#pragma once

#include "resources/text_id.h"
#include "scan/record/device_record.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// The columns of the device list, one entry each: every view of the list takes its columns from
// here (the window's list and its sort, the terminal table, CSV and JSON, the inventory
// comparison), so a new column is one entry in kDeviceColumns.

// How a header click orders the rows by a column.
enum class ColumnOrder {
    // The record's bytes with ASCII letters folded (versions compare as text: 10.1 before 4.26).
    Text,
    // Only the last number of an address, padded to three digits: the list shows one /24 network
    // and the factory address. Addresses without a dot after their first character compare equal
    // to every other.
    LastOctet
};

// How the inventory comparison tells that an adapter's value in the column changed.
enum class ColumnChange {
    // The text differs.
    Text,
    // The text differs beyond letter case and outer blanks.
    MacAddress,
    // The update state differs: the column's text is in the language of the run that wrote it.
    // The change is named "updateState" and shows the column's text where there is one.
    UpdateState
};

struct DeviceColumn
{
    // The JSON member and CSV header of the column, the same in every language.
    std::string_view key;
    // The column's caption in the window's list and the terminal table.
    trawlix::TextId caption;
    // The record's text the column shows.
    std::string DeviceRecord::*field;
    ColumnOrder order;
    ColumnChange change;
    // The column's width in the window's list, in pixels of the classic dialog font.
    int listWidth;
};

inline constexpr auto kDeviceColumns = std::to_array<DeviceColumn>({
    {"model", trawlix::TextId::ColumnDevice, &DeviceRecord::model, ColumnOrder::Text, ColumnChange::Text, 160},
    {"firmware", trawlix::TextId::ColumnFirmware, &DeviceRecord::firmware, ColumnOrder::Text, ColumnChange::Text, 60},
    {"updateText", trawlix::TextId::ColumnUpdate, &DeviceRecord::updateText, ColumnOrder::Text,
     ColumnChange::UpdateState, 95},
    {"manufacturer", trawlix::TextId::ColumnManufacturer, &DeviceRecord::manufacturer, ColumnOrder::Text,
     ColumnChange::Text, 130},
    {"mac", trawlix::TextId::ColumnMac, &DeviceRecord::mac, ColumnOrder::Text, ColumnChange::MacAddress, 110},
    {"ip", trawlix::TextId::ColumnIp, &DeviceRecord::ip, ColumnOrder::LastOctet, ColumnChange::Text, 100},
    {"location", trawlix::TextId::ColumnLocation, &DeviceRecord::location, ColumnOrder::Text, ColumnChange::Text, 150},
});

inline constexpr int kDeviceColumnCount = static_cast<int>(kDeviceColumns.size());

// A text of the record that is no column but part of its JSON form, after the columns.
struct RecordTextField
{
    std::string_view key;
    std::string DeviceRecord::*field;
};
inline constexpr auto kRecordTextFields = std::to_array<RecordTextField>({
    {"oem", &DeviceRecord::oem},
    {"latestFirmware", &DeviceRecord::latestFirmware},
});

// Every text of the record in its JSON order: the columns', then the others.
[[nodiscard]] std::vector<RecordTextField> RecordTexts();

// The column's text of `record` as people read it, as UTF-8 (see DisplayText).
[[nodiscard]] std::string ColumnText(const DeviceRecord& record, const DeviceColumn& column);

// The captions of the columns in the current language, in column order.
[[nodiscard]] std::vector<std::string> ColumnCaptions();
