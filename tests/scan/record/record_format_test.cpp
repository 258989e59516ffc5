#include "resources/string_table.h"
#include "scan/record/device_columns.h"
#include "scan/record/record_format.h"
#include "scan/record/record_order.h"

#include <gtest/gtest.h>

namespace {

DeviceRecord Record(std::string ip, std::string model, bool jsonApi = false)
{
    DeviceRecord r;
    r.found = true;
    r.ip = std::move(ip);
    r.model = std::move(model);
    r.jsonApi = jsonApi;
    return r;
}

TEST(FormatTest, SortsNumericallyByAddress)
{
    EXPECT_TRUE(IpLess("10.0.0.9", "10.0.0.10"));
    EXPECT_TRUE(IpLess("9.255.255.255", "10.0.0.0"));
    EXPECT_FALSE(IpLess("10.0.0.10", "10.0.0.9"));
    EXPECT_TRUE(IpLess("10.0.0.1", "not-an-address"));

    trawlix::SetLanguage(trawlix::Language::German);
    const auto csv =
        FormatRecords({Record("192.168.1.100", "B"), Record("192.168.1.20", "A, \"x\""), Record("10.10.10.10", "C")},
                      RecordFormat::Csv);
    // The header row is the JSON field names, whatever the language of the table captions.
    EXPECT_EQ(csv, "model,firmware,updateText,manufacturer,mac,ip,location\n"
                   "C,,,,,10.10.10.10,\n"
                   "\"A, \"\"x\"\"\",,,,,192.168.1.20,\n"
                   "B,,,,,192.168.1.100,\n");
}

TEST(FormatTest, JsonCarriesEveryFieldAndEscapes)
{
    DeviceRecord r = Record("10.0.0.2", "LX400 \"Rack\"\n", true);
    r.deviceId = -1;
    r.updateState = 1;
    r.oem = "16";
    r.latestFirmware = "2.10";
    const auto json = FormatRecords({r}, RecordFormat::Json);
    EXPECT_EQ(json, "[\n  {\"model\": \"LX400 \\\"Rack\\\"\\n\", \"firmware\": \"\", \"updateText\": \"\", "
                    "\"manufacturer\": \"\", \"mac\": \"\", \"ip\": \"10.0.0.2\", \"location\": \"\", \"oem\": \"16\", "
                    "\"latestFirmware\": \"2.10\", \"deviceId\": -1, \"updateState\": 1, \"jsonApi\": true}\n]\n");
    EXPECT_EQ(FormatRecords({}, RecordFormat::Json), "[]\n");
}

TEST(FormatTest, TableAlignsAndNeutralisesControlCharacters)
{
    trawlix::SetLanguage(trawlix::Language::German);
    DeviceRecord evil = Record("10.0.0.1", "X\x1B[2J", false);
    evil.location = "a\nb";
    const auto table = FormatRecords({evil, Record("10.0.0.2", "\xC4rger")}, RecordFormat::Table);
    EXPECT_EQ(table.find('\x1B'), std::string::npos);
    EXPECT_EQ(table, "Gerät  Firmware  Update  Hersteller (OEM)  MAC-Adresse  IP-Adresse  Ort\n"
                     "X [2J                                                   10.0.0.1    a b\n"
                     "Ärger                                                   10.0.0.2\n");
}

// Each column of the table, whatever it holds, reaches the table, CSV and JSON in its place and
// orders the list by its own field.
TEST(FormatTest, EveryColumnReachesEveryFormatAndSortsByItsField)
{
    trawlix::SetLanguage(trawlix::Language::English);
    DeviceRecord a = Record("10.0.0.1", "");
    DeviceRecord b = Record("10.0.0.2", "");
    for (const DeviceColumn& column : kDeviceColumns) {
        if (column.field != &DeviceRecord::ip) {
            a.*column.field = std::string(column.key) + "-b";
            b.*column.field = std::string(column.key) + "-a";
        }
    }
    const std::string csv = FormatRecords({a}, RecordFormat::Csv);
    const std::string json = FormatRecords({a}, RecordFormat::Json);
    const std::string table = FormatRecords({a}, RecordFormat::Table);
    std::string header;
    std::string row;
    std::size_t jsonAt = 0;
    std::size_t tableAt = 0;
    for (std::size_t i = 0; i < kDeviceColumns.size(); ++i) {
        const DeviceColumn& column = kDeviceColumns[i];
        header += (i ? "," : "") + std::string(column.key);
        row += (i ? "," : "") + a.*column.field;
        // In column order, as "key": "value".
        const std::size_t at = json.find("\"" + std::string(column.key) + "\": \"" + a.*column.field + "\"");
        EXPECT_NE(at, std::string::npos) << column.key;
        EXPECT_GT(at, jsonAt) << column.key;
        jsonAt = at;
        const std::size_t cell = table.find(a.*column.field, tableAt);
        EXPECT_NE(cell, std::string::npos) << column.key;
        tableAt = cell;

        // a holds the later text, b the earlier, so b sorts first by every column but the address.
        const SortState state{static_cast<int>(i), true};
        const bool address = column.field == &DeviceRecord::ip;
        EXPECT_LT(address ? CompareRecords(&a, &b, &state) : CompareRecords(&b, &a, &state), 0) << column.key;
    }
    EXPECT_EQ(csv, header + "\n" + row + "\n");
    const std::string captions = table.substr(0, table.find('\n'));
    EXPECT_EQ(captions.substr(captions.size() - ColumnCaptions().back().size()), ColumnCaptions().back());
}

TEST(FormatTest, CsvCellsAreSafeForScriptsAndSpreadsheets)
{
    const std::pair<const char*, const char*> cases[] = {
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+49 911", "'+49 911"},
        {"-1", "'-1"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"a=b", "a=b"},
        {"Bell\x07, \x1B]0;title\r\n", "\"Bell ,  ]0;title  \""},
        {"\x1B=1 \xC2\x9B", " =1  "}, // ESC and a C1 control
    };
    for (const auto& [value, cell] : cases)
        EXPECT_EQ(CsvField(value), cell) << value;
}

// Wide characters take two cells, combining marks none, so a table stays aligned.
TEST(FormatTest, DisplayWidthCountsTerminalCells)
{
    const std::pair<const char*, std::size_t> cases[] = {
        {"N\xC3\xBCrnberg", 8},                      // precomposed umlaut
        {"Nu\xCC\x88rnberg", 8},                     // u + combining diaeresis
        {"\xE6\x9D\xB1\xE4\xBA\xAC", 4},             // Tokyo in kanji
        {"\xEC\x84\x9C\xEC\x9A\xB8", 4},             // Seoul in Hangul
        {"\xEF\xBC\xA1\xEF\xBD\xB1", 3},             // full-width A, half-width katakana
        {"\xF0\x9F\x94\x8B UPS", 6},                 // battery emoji
        {"\xE0\xA4\xB9\xE0\xA4\xBF\xE0\xA4\x82", 2}, // Devanagari with a vowel sign and a nasal mark
        {"\xFF\xFE", 2},                             // bytes that are no UTF-8 count one each
    };
    for (const auto& [text, width] : cases)
        EXPECT_EQ(DisplayWidth(text), width) << text;
    trawlix::SetLanguage(trawlix::Language::English);
    const auto table = FormatRecords({Record("10.0.0.1", "\xE6\x9D\xB1\xE4\xBA\xAC", true), Record("10.0.0.2", "Nord")},
                                     RecordFormat::Table);
    // Both first cells are four cells wide, so the addresses stand in the same column.
    const std::string gap(55, ' ');
    EXPECT_EQ(table, "Device  Firmware  Update  Manufacturer (OEM)  MAC Address  IP Address  Location\n"
                     "\xE6\x9D\xB1\xE4\xBA\xAC" +
                         gap + "10.0.0.1\nNord" + gap + "10.0.0.2\n");
}

} // namespace
