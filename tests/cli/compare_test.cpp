#include "cli/compare.h"
#include "resources/string_table.h"
#include "scan/record_format.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

DeviceRecord Adapter(std::string ip, std::string mac, std::string firmware = "4.26", std::string location = "A")
{
    DeviceRecord r;
    r.found = true;
    r.model = "LX300";
    r.ip = std::move(ip);
    r.mac = std::move(mac);
    r.firmware = std::move(firmware);
    r.location = std::move(location);
    r.manufacturer = "Voltara (16)";
    r.updateText = "Up to date";
    return r;
}

// The earlier inventory as trawlix-scan wrote it.
std::vector<DeviceRecord> Earlier(const std::vector<DeviceRecord>& records)
{
    const auto read = ParseInventory(FormatRecords(records, RecordFormat::Json, {}));
    EXPECT_TRUE(read.devices) << read.error;
    return read.devices.value_or(std::vector<DeviceRecord>{});
}

TEST(InventoryTest, ReadsBothResultFormsAndRefusesEverythingElse)
{
    DeviceRecord legacy = Adapter("10.0.0.2", "00:00:00:00:00:02");
    legacy.location = "S\xFC"
                      "d"; // Latin-1 from a legacy page
    DeviceRecord lx400 = Adapter("10.0.0.1", "00:00:00:00:00:01");
    lx400.jsonApi = true;
    lx400.updateState = 1;
    const auto list = Earlier({legacy, lx400});
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].ip, "10.0.0.1");
    EXPECT_TRUE(list[0].jsonApi);
    EXPECT_EQ(list[0].updateState, 1);
    EXPECT_EQ(list[1].location, "S\xC3\xBC"
                                "d");

    const auto object = ParseInventory(FormatComparison({legacy}, {}, ScanOptions::Format::Json, "x"));
    ASSERT_TRUE(object.devices) << object.error;
    EXPECT_EQ(object.devices->size(), 1u);

    const char* const bad[] = {
        "",
        "not json",
        "{\"model\": \"LX300\"}",
        "[1]",
        "[] []",
        "[{\"model\": \"LX300\", \"firmware\": \"4.26\", \"updateText\": \"\", \"manufacturer\": \"\", \"mac\": \"\", "
        "\"location\": \"\", \"updateState\": 0}]",
        "[{\"model\": \"LX300\", \"firmware\": \"4.26\", \"updateText\": \"\", \"manufacturer\": \"\", \"mac\": \"\", "
        "\"ip\": \"adapter.example\", \"location\": \"\", \"updateState\": 0}]",
        "[{\"model\": \"LX300\", \"firmware\": 4.26, \"updateText\": \"\", \"manufacturer\": \"\", \"mac\": \"\", "
        "\"ip\": \"10.0.0.1\", \"location\": \"\", \"updateState\": 0}]",
        "[{\"model\": \"LX300\", \"firmware\": \"4.26\", \"updateText\": \"\", \"manufacturer\": \"\", \"mac\": \"\", "
        "\"ip\": \"10.0.0.1\", \"location\": \"\"}]",
        "model,firmware,updateText,manufacturer,mac,ip,location\n",
        std::string(100000, '[').c_str(),
    };
    for (const char* text : bad) {
        const auto read = ParseInventory(text);
        EXPECT_FALSE(read.devices) << text;
        EXPECT_NE(read.error.find("not a trawlix-scan --format json result"), std::string::npos) << read.error;
        EXPECT_EQ(read.error.find('\n'), std::string::npos) << read.error;
    }
}

TEST(InventoryTest, MatchesByMacElseByAddressAndNamesWhatChanged)
{
    DeviceRecord refused = Adapter("10.0.0.9", "");
    refused.model = "Access denied!";
    refused.firmware = "";
    const auto before = Earlier({
        Adapter("10.0.0.1", "00:00:00:00:00:01"), // unchanged
        Adapter("10.0.0.2", "00:00:00:00:00:02"), // firmware and update state change
        Adapter("10.0.0.3", "00:00:00:00:00:03"), // moves to 10.0.0.30
        Adapter("10.0.0.4", "00:00:00:00:00:04"), // gone
        Adapter("10.0.0.5", "00:00:00:00:00:05"), // replaced by another adapter
        refused,                                  // logs in now
    });
    DeviceRecord updated = Adapter("10.0.0.2", "00:00:00:00:00:02", "4.30");
    updated.updateState = 1;
    updated.updateText = "Available (4.40)";
    const std::vector<DeviceRecord> now = {
        Adapter("10.0.0.1", "00:00:00:00:00:01"),  updated,
        Adapter("10.0.0.30", "00:00:00:00:00:03"), Adapter("10.0.0.5", "00:00:00:00:00:55"),
        Adapter("10.0.0.9", "00:00:00:00:00:09"),  Adapter("10.0.0.7", "00:00:00:00:00:07"), // new
    };
    const InventoryDiff diff = CompareInventory(before, now);

    std::vector<std::string> added, gone;
    for (const auto& r : diff.added)
        added.push_back(r.ip + " " + r.mac);
    for (const auto& r : diff.gone)
        gone.push_back(r.ip + " " + r.mac);
    EXPECT_EQ(added, (std::vector<std::string>{"10.0.0.5 00:00:00:00:00:55", "10.0.0.7 00:00:00:00:00:07"}));
    EXPECT_EQ(gone, (std::vector<std::string>{"10.0.0.4 00:00:00:00:00:04", "10.0.0.5 00:00:00:00:00:05"}));
    ASSERT_EQ(diff.changed.size(), 3u);
    EXPECT_EQ(diff.changed[0].now.ip, "10.0.0.2");
    EXPECT_EQ(diff.changed[0].fields, (std::vector<std::string>{"firmware", "updateState"}));
    EXPECT_EQ(diff.changed[1].now.ip, "10.0.0.9");
    EXPECT_EQ(diff.changed[1].fields, (std::vector<std::string>{"model", "firmware", "mac"}));
    EXPECT_EQ(diff.changed[2].now.ip, "10.0.0.30");
    EXPECT_EQ(diff.changed[2].fields, (std::vector<std::string>{"ip"}));

    // The same search again: nothing changed, also with the MAC written in another case.
    std::vector<DeviceRecord> again = now;
    for (auto& r : again)
        for (auto& c : r.mac)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(CompareInventory(Earlier(now), again).Empty());
}

TEST(InventoryTest, ComparisonAsJsonAndAsTable)
{
    trawlix::SetLanguage(trawlix::Language::English);
    const auto before = Earlier({Adapter("10.0.0.2", "00:00:00:00:00:02"), Adapter("10.0.0.4", "00:00:00:00:00:04")});
    DeviceRecord updated = Adapter("10.0.0.3", "00:00:00:00:00:02", "4.30");
    updated.updateState = 1;
    updated.updateText = "Available (4.40)";
    const std::vector<DeviceRecord> now = {updated};
    const InventoryDiff diff = CompareInventory(before, now);

    const std::string json = FormatComparison(now, diff, ScanOptions::Format::Json, "last.json");
    EXPECT_EQ(json, "{\"devices\": [\n  " + JsonRecord(updated) + "\n],\n\"new\": [],\n\"gone\": [\n  " +
                        JsonRecord(before[1]) +
                        "\n],\n\"changed\": [\n"
                        "  {\"mac\": \"00:00:00:00:00:02\", \"ip\": \"10.0.0.3\", \"fields\": {\"firmware\": "
                        "[\"4.26\", \"4.30\"], \"updateState\": [0, 1], \"ip\": [\"10.0.0.2\", \"10.0.0.3\"]}}\n]}\n");

    const std::string table = FormatComparison(now, diff, ScanOptions::Format::Table, "last.json");
    EXPECT_NE(table.find("\nCompared with last.json: 0 new, 1 gone, 1 changed\nGone:\n  Device"), std::string::npos)
        << table;
    EXPECT_NE(table.find("Changed:\n"
                         "  MAC Address        IP Address  Field       Before      Now\n"
                         "  00:00:00:00:00:02  10.0.0.3    Firmware    4.26        4.30\n"
                         "                                 Update      Up to date  Available (4.40)\n"
                         "                                 IP Address  10.0.0.2    10.0.0.3\n"),
              std::string::npos)
        << table;
    EXPECT_EQ(FormatComparison(now, {}, ScanOptions::Format::Table, "last.json").substr(table.find("\nCompared")),
              "\nCompared with last.json: no change\n");
}

} // namespace
