#pragma once

#include "scan/record/device_record.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The device list as text, shared by the terminal front end and the window's export, so both
// write the same formats with the same field names.

enum class RecordFormat { Table, Csv, Json, Prometheus };

// The formats by the names options and files give them, in the order they are offered. A new
// format is a value above, an entry here and its case in FormatRecords.
struct NamedRecordFormat
{
    RecordFormat format;
    std::string_view name;
};
inline constexpr auto kRecordFormats = std::to_array<NamedRecordFormat>({
    {RecordFormat::Table, "table"},
    {RecordFormat::Csv, "csv"},
    {RecordFormat::Json, "json"},
    {RecordFormat::Prometheus, "prometheus"},
});

// The format named `name` (exactly as in kRecordFormats); nullopt for any other text.
[[nodiscard]] std::optional<RecordFormat> RecordFormatNamed(std::string_view name);
// The name of `format`.
[[nodiscard]] std::string_view RecordFormatName(RecordFormat format);

// Numeric order of dotted IPv4 addresses; text that is not one sorts after every address.
[[nodiscard]] bool IpLess(const std::string& a, const std::string& b);

// The found records, sorted by IP address, in the chosen format, with the columns of
// kDeviceColumns. The table's captions are in the current language; the CSV header row is always
// the JSON names of the columns, so scripts can rely on it. Prometheus text holds the adapters'
// series only (FormatPrometheusAdapters): the series about a search are the front end's.
[[nodiscard]] std::string FormatRecords(std::vector<DeviceRecord> records, RecordFormat format);

// One record as the JSON object of the list (the columns, then the record's other fields; text as
// UTF-8), on one line.
[[nodiscard]] std::string JsonRecord(const DeviceRecord& record);

// Text helpers of the formats, for other reports in the same style.
// UTF-8 text for a terminal: control characters (C0, DEL, C1) become spaces.
[[nodiscard]] std::string TerminalText(const std::string& utf8);
// Terminal cells a UTF-8 text takes: wide characters (CJK, Hangul, emoji) count two, combining
// marks and zero-width characters none.
[[nodiscard]] std::size_t DisplayWidth(const std::string& utf8);
// Rows of terminal text as lines with the columns aligned by display width, two spaces apart,
// without trailing blanks.
[[nodiscard]] std::string AlignColumns(const std::vector<std::vector<std::string>>& rows);
// A CSV field safe for scripts and spreadsheets: control characters become spaces, a text that
// starts with "=", "+", "-" or "@" gets a leading apostrophe, and it is quoted when it holds a
// separator or a quote.
[[nodiscard]] std::string CsvField(const std::string& text);
// A JSON string literal of UTF-8 text.
[[nodiscard]] std::string JsonString(const std::string& utf8);
