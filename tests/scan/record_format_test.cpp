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
    EXPECT_EQ(csv, "Device,Firmware,Update,Manufacturer (OEM),MAC Address,IP Address,Location\n"
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

} // namespace
