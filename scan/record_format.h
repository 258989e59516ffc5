#pragma once

#include "scan/device_record.h"

#include <cstddef>
#include <string>
#include <vector>

// The device list as text, shared by the terminal front end and the window's export, so both
// write the same formats with the same field names.

enum class RecordFormat { Table, Csv, Json };

// Numeric order of dotted IPv4 addresses; text that is not one sorts after every address.
[[nodiscard]] bool IpLess(const std::string& a, const std::string& b);

// The found records, sorted by IP address, in the chosen format. `headers` are the seven column
// captions in the current language (Device, Firmware, Update, Manufacturer, MAC, IP, Location).
[[nodiscard]] std::string FormatRecords(std::vector<DeviceRecord> records, RecordFormat format,
                                        const std::vector<std::string>& headers);

// Text helpers of the formats, for other reports in the same style.
// UTF-8 text for a terminal: control characters (C0, DEL, C1) become spaces.
[[nodiscard]] std::string TerminalText(const std::string& utf8);
// Columns a UTF-8 text takes in a table.
[[nodiscard]] std::size_t DisplayWidth(const std::string& utf8);
// A CSV field, quoted when it holds a separator, a quote or a line break.
[[nodiscard]] std::string CsvField(const std::string& text);
// A JSON string literal of UTF-8 text.
[[nodiscard]] std::string JsonString(const std::string& utf8);
