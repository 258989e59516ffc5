#include "scan/record_format.h"

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

    const std::vector<std::string> headers = {"Device",      "Firmware",   "Update",  "Manufacturer (OEM)",
                                              "MAC Address", "IP Address", "Location"};
    const auto csv =
        FormatRecords({Record("192.168.1.100", "B"), Record("192.168.1.20", "A, \"x\""), Record("10.10.10.10", "C")},
                      RecordFormat::Csv, headers);
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
    const auto json = FormatRecords({r}, RecordFormat::Json, {});
    EXPECT_EQ(json, "[\n  {\"model\": \"LX400 \\\"Rack\\\"\\n\", \"firmware\": \"\", \"updateText\": \"\", "
                    "\"manufacturer\": \"\", \"mac\": \"\", \"ip\": \"10.0.0.2\", \"location\": \"\", \"oem\": \"16\", "
                    "\"latestFirmware\": \"2.10\", \"deviceId\": -1, \"updateState\": 1, \"jsonApi\": true}\n]\n");
    EXPECT_EQ(FormatRecords({}, RecordFormat::Json, {}), "[]\n");
}

TEST(FormatTest, TableAlignsAndNeutralisesControlCharacters)
{
    const std::vector<std::string> headers = {"Gerät", "F", "U", "M", "MAC", "IP", "Ort"};
    DeviceRecord evil = Record("10.0.0.1", "X\x1B[2J", false);
    evil.location = "a\nb";
    const auto table = FormatRecords({evil, Record("10.0.0.2", "\xC4rger")}, RecordFormat::Table, headers);
    EXPECT_EQ(table.find('\x1B'), std::string::npos);
    EXPECT_EQ(table, "Gerät  F  U  M  MAC  IP        Ort\n"
                     "X [2J                10.0.0.1  a b\n"
                     "Ärger                10.0.0.2\n");
}

TEST(FormatTest, CsvCellsAreSafeForScriptsAndSpreadsheets)
{
    const struct
    {
        const char* value;
        const char* cell;
    } cases[] = {
        {"Plain", "Plain"},
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+49 911", "'+49 911"},
        {"-1", "'-1"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"a=b", "a=b"},
        {" =1", " =1"},
        {"Bell\x07 and \x1B]0;title\x07", "Bell  and  ]0;title "},
        {"line\r\nbreak,x", "\"line  break,x\""},
        {"C1 \xC2\x9B", "C1  "},
        {"\x1B=1", " =1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CsvField(c.value), c.cell) << c.value;

    DeviceRecord r = Record("10.0.0.1", "LX300");
    r.location = "=cmd|' /C calc'!A0\x1B[31m";
    EXPECT_EQ(FormatRecords({r}, RecordFormat::Csv, {"Ger\xC3\xA4t"}),
              "model,firmware,updateText,manufacturer,mac,ip,location\n"
              "LX300,,,,,10.0.0.1,'=cmd|' /C calc'!A0 [31m\n");
}

TEST(FormatTest, DisplayWidthCountsTerminalCells)
{
    const struct
    {
        const char* text;
        std::size_t width;
    } cases[] = {
        {"", 0},
        {"LX300", 5},
        {"N\xC3\xBCrnberg", 8},                      // precomposed umlaut
        {"Nu\xCC\x88rnberg", 8},                     // u + combining diaeresis
        {"\xE6\x9D\xB1\xE4\xBA\xAC", 4},             // Tokyo in kanji
        {"\xEC\x84\x9C\xEC\x9A\xB8", 4},             // Seoul in Hangul
        {"\xEF\xBC\xA1\xEF\xBD\xB1", 3},             // full-width A, half-width katakana a
        {"\xF0\x9F\x94\x8B UPS", 6},                 // battery emoji
        {"\xE0\xA4\xB9\xE0\xA4\xBF\xE0\xA4\x82", 2}, // Devanagari with a vowel sign and anusvara
        {"x\xE2\x80\x8Bz", 2},                       // zero-width space
        {"\xFF\xFE", 2},                             // bytes that are no UTF-8 count one each
    };
    for (const auto& c : cases)
        EXPECT_EQ(DisplayWidth(c.text), c.width) << c.text;
}

TEST(FormatTest, TableColumnsStayAlignedWithWideAndCombiningText)
{
    const std::vector<std::string> headers = {"Device", "F", "U", "M", "MAC", "IP", "Location"};
    DeviceRecord tokyo = Record("10.0.0.1", "\xE6\x9D\xB1\xE4\xBA\xAC", true);
    tokyo.location = "x";
    DeviceRecord combining = Record("10.0.0.2", "Nu\xCC\x88rnberg", true);
    combining.location = "y";
    const auto table = FormatRecords({tokyo, combining}, RecordFormat::Table, headers);
    EXPECT_EQ(table, "Device    F  U  M  MAC  IP        Location\n"
                     "\xE6\x9D\xB1\xE4\xBA\xAC                    10.0.0.1  x\n"
                     "Nu\xCC\x88rnberg                10.0.0.2  y\n");
}

} // namespace
