#include "cli/compare.h"
#include "resources/string_table.h"
#include "scan/record/record_format.h"

#include <gtest/gtest.h>

namespace {

DeviceRecord Adapter(std::string ip, std::string mac, std::string firmware = "4.26")
{
    DeviceRecord r;
    r.found = true;
    r.model = "LX300";
    r.ip = std::move(ip);
    r.mac = std::move(mac);
    r.firmware = std::move(firmware);
    r.updateText = "Up to date";
    return r;
}

// An earlier inventory as trawlix-scan wrote it, read back.
std::vector<DeviceRecord> Earlier(const std::vector<DeviceRecord>& records)
{
    const auto read = ParseInventory(FormatRecords(records, RecordFormat::Json));
    EXPECT_TRUE(read.devices) << read.error;
    return read.devices.value_or(std::vector<DeviceRecord>{});
}

TEST(InventoryTest, ReadsWhatTrawlixScanWroteAndRefusesEverythingElse)
{
    DeviceRecord legacy = Adapter("10.0.0.2", "00:00:00:00:00:02");
    legacy.location = "S\xFC"
                      "d"; // Latin-1 from a legacy page
    const auto list = Earlier({legacy});
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].location, "S\xC3\xBC"
                                "d");
    // The object of an earlier comparison is read as well.
    EXPECT_EQ(ParseInventory(FormatComparison({legacy}, {}, ScanOptions::Format::Json, "x")).devices->size(), 1u);

    const std::string entry = R"({"model": "LX300", "firmware": "4.26", "updateText": "", "manufacturer": "", )"
                              R"("mac": "", "location": "", )";
    for (const std::string& text :
         {std::string("not json"), std::string("{\"model\": \"LX300\"}"), std::string("[1] []"),
          "[" + entry + "\"updateState\": 0}]", "[" + entry + "\"ip\": \"adapter.example\", \"updateState\": 0}]",
          "[" + entry + "\"ip\": \"10.0.0.1\"}]", std::string("model,firmware,updateText,manufacturer,mac,ip\n"),
          std::string(100000, '[')}) {
        const auto read = ParseInventory(text);
        EXPECT_FALSE(read.devices) << text.substr(0, 80);
        EXPECT_NE(read.error.find("not a trawlix-scan --format json result"), std::string::npos) << read.error;
        EXPECT_EQ(read.error.find('\n'), std::string::npos) << read.error;
    }
}

TEST(InventoryTest, MatchesByMacElseByAddressAndNamesWhatChanged)
{
    DeviceRecord refused = Adapter("10.0.0.9", "", "");
    refused.model = "Access denied!";
    const auto before = Earlier({
        Adapter("10.0.0.1", "00:00:00:00:00:01"), // unchanged
        Adapter("10.0.0.2", "00:00:00:00:00:02"), // newer firmware
        Adapter("10.0.0.3", "00:00:00:00:00:03"), // moves to 10.0.0.30
        Adapter("10.0.0.4", "00:00:00:00:00:04"), // gone
        Adapter("10.0.0.5", "00:00:00:00:00:05"), // replaced by another adapter
        refused,                                  // logs in now
    });
    const std::vector<DeviceRecord> now = {
        Adapter("10.0.0.1", "00:00:00:00:00:01"),  Adapter("10.0.0.2", "00:00:00:00:00:02", "4.30"),
        Adapter("10.0.0.30", "00:00:00:00:00:03"), Adapter("10.0.0.5", "00:00:00:00:00:55"),
        Adapter("10.0.0.9", "00:00:00:00:00:09"),  Adapter("10.0.0.7", "00:00:00:00:00:07"),
    };
    const InventoryDiff diff = CompareInventory(before, now);
    auto addresses = [](const std::vector<DeviceRecord>& records) {
        std::string out;
        for (const auto& r : records)
            out += r.ip + " " + r.mac + ";";
        return out;
    };
    EXPECT_EQ(addresses(diff.added), "10.0.0.5 00:00:00:00:00:55;10.0.0.7 00:00:00:00:00:07;");
    EXPECT_EQ(addresses(diff.gone), "10.0.0.4 00:00:00:00:00:04;10.0.0.5 00:00:00:00:00:05;");
    ASSERT_EQ(diff.changed.size(), 3u);
    EXPECT_EQ(diff.changed[0].fields, (std::vector<std::string>{"firmware"}));
    EXPECT_EQ(diff.changed[1].fields, (std::vector<std::string>{"model", "firmware", "mac"}));
    EXPECT_EQ(diff.changed[2].fields, (std::vector<std::string>{"ip"}));
    EXPECT_TRUE(CompareInventory(Earlier(now), now).Empty());
}

// An earlier list holds display text: it is compared and listed again as it was shown, neither
// decoded a second time nor with a hidden override.
TEST(InventoryTest, ComparesAndListsTextsAsTheyWereShown)
{
    DeviceRecord legacy = Adapter("10.0.0.2", "00:00:00:00:00:02");
    legacy.location = "R&amp;amp;D &amp;#x202E;"; // shown as "R&amp;D &#x202E;"
    DeviceRecord lx400 = Adapter("10.0.0.3", "00:00:00:00:00:03");
    lx400.jsonApi = true;
    lx400.location = "Hall \xE2\x80\xAE"
                     "3";
    EXPECT_TRUE(CompareInventory(Earlier({legacy, lx400}), {legacy, lx400}).Empty());

    const InventoryDiff diff = CompareInventory(Earlier({legacy}), {lx400});
    const std::string json = FormatComparison({lx400}, diff, ScanOptions::Format::Json, "x");
    EXPECT_NE(json.find("\"gone\": [\n  {\"model\": \"LX300\", \"firmware\": \"4.26\", \"updateText\": \"Up to date\", "
                        "\"manufacturer\": \"\", \"mac\": \"00:00:00:00:00:02\", \"ip\": \"10.0.0.2\", "
                        "\"location\": \"R&amp;D &#x202E;\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"new\": [\n  {\"model\": \"LX300\""), std::string::npos) << json;
    EXPECT_EQ(json.find("\xE2\x80\xAE"), std::string::npos) << json;
    EXPECT_NE(json.find("\"location\": \"Hall <U+202E>3\""), std::string::npos) << json;
}

TEST(InventoryTest, ComparisonAsJsonAndAsTable)
{
    trawlix::SetLanguage(trawlix::Language::English);
    const auto before = Earlier({Adapter("10.0.0.2", "00:00:00:00:00:02"), Adapter("10.0.0.4", "00:00:00:00:00:04")});
    DeviceRecord updated = Adapter("10.0.0.3", "00:00:00:00:00:02", "4.30");
    updated.updateState = 1;
    updated.updateText = "Available (4.40)";
    const InventoryDiff diff = CompareInventory(before, {updated});

    EXPECT_EQ(FormatComparison({updated}, diff, ScanOptions::Format::Json, "last.json"),
              "{\"devices\": [\n  " + JsonRecord(updated) + "\n],\n\"new\": [],\n\"gone\": [\n  " +
                  JsonRecord(before[1]) +
                  "\n],\n\"changed\": [\n  {\"mac\": \"00:00:00:00:00:02\", \"ip\": \"10.0.0.3\", \"fields\": "
                  "{\"firmware\": [\"4.26\", \"4.30\"], \"updateState\": [0, 1], \"ip\": [\"10.0.0.2\", "
                  "\"10.0.0.3\"]}}\n]}\n");

    const std::string table = FormatComparison({updated}, diff, ScanOptions::Format::Table, "last.json");
    EXPECT_NE(table.find("\nCompared with last.json: 0 new, 1 gone, 1 changed\nGone:\n  Device"), std::string::npos);
    EXPECT_NE(table.find("Changed:\n"
                         "  MAC Address        IP Address  Field       Before      Now\n"
                         "  00:00:00:00:00:02  10.0.0.3    Firmware    4.26        4.30\n"
                         "                                 Update      Up to date  Available (4.40)\n"
                         "                                 IP Address  10.0.0.2    10.0.0.3\n"),
              std::string::npos)
        << table;
    EXPECT_NE(FormatComparison({updated}, CompareInventory({updated}, {updated}), ScanOptions::Format::Table, "x.json")
                  .find("\nCompared with x.json: no change\n"),
              std::string::npos);
}

TEST(InventoryTest, TheComparisonSpeaksTheLanguageOfTheTable)
{
    trawlix::SetLanguage(trawlix::Language::German);
    const auto before = Earlier({Adapter("10.0.0.2", "00:00:00:00:00:02"), Adapter("10.0.0.4", "00:00:00:00:00:04")});
    const DeviceRecord now = Adapter("10.0.0.2", "00:00:00:00:00:02", "4.30");
    const DeviceRecord added = Adapter("10.0.0.5", "00:00:00:00:00:05");
    const std::string table =
        FormatComparison({now, added}, CompareInventory(before, {now, added}), ScanOptions::Format::Table, "a.json");
    const std::string same =
        FormatComparison({now}, CompareInventory({now}, {now}), ScanOptions::Format::Table, "a.json");
    trawlix::SetLanguage(trawlix::Language::English);
    EXPECT_NE(table.find("\nVerglichen mit a.json: 1 neu, 1 nicht mehr da, 1 ge\xC3\xA4ndert\nNeu:\n  Ger\xC3\xA4t"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("\nNicht mehr da:\n  Ger\xC3\xA4t"), std::string::npos) << table;
    EXPECT_NE(table.find("Ge\xC3\xA4ndert:\n"
                         "  MAC-Adresse        IP-Adresse  Feld      Vorher  Jetzt\n"
                         "  00:00:00:00:00:02  10.0.0.2    Firmware  4.26    4.30\n"),
              std::string::npos)
        << table;
    EXPECT_NE(same.find("\nVerglichen mit a.json: keine \xC3\x84nderung\n"), std::string::npos) << same;
}

} // namespace
