// The monitoring plugin's verdict on a search: the four statuses with their lines and
// performance data as a plugin host reads them.
#include "cli/check_status.h"
#include "resources/string_table.h"

#include <gtest/gtest.h>

namespace {

DeviceRecord Adapter(int host, int updateState, const char* updateText)
{
    DeviceRecord r;
    r.found = true;
    r.ip = "10.0.0." + std::to_string(host);
    r.mac = "00:00:00:00:00:0" + std::to_string(host);
    r.model = "LX300";
    r.firmware = "4.26";
    r.updateState = updateState;
    r.updateText = updateText;
    return r;
}

TEST(CheckStatusTest, StatusesAndPerformanceData)
{
    trawlix::SetLanguage(trawlix::Language::English);
    DeviceRecord refused;
    refused.found = true;
    refused.jsonApi = true;
    refused.ip = "10.0.0.9";
    refused.model = "Access denied!";
    const std::vector<DeviceRecord> current = {Adapter(1, 0, "Up to date"), Adapter(2, 2, "Not possible")};
    const std::vector<DeviceRecord> updates = {Adapter(1, 1, "Available (4.30)"), Adapter(2, 1, "Available (4.30)"),
                                               Adapter(3, 0, "Info N/A"), refused};
    const SearchSummary done{254, 3.2, true, 0};
    struct Case
    {
        std::vector<DeviceRecord> records;
        std::optional<ChangeCounts> changes;
        CheckStatus status;
        const char* line;
    };
    const Case cases[] = {
        {current, std::nullopt, CheckStatus::Ok,
         "TRAWLIX OK: 2 adapters on 254 addresses, no firmware update available | adapters=2;;;0 updates=0;0;;0 "
         "refused=0;;;0 time=3.200s;;;0\n"},
        {{},
         ChangeCounts{},
         CheckStatus::Ok,
         "TRAWLIX OK: 0 adapters on 254 addresses, no change since the inventory, no firmware update available | "
         "adapters=0;;;0 updates=0;0;;0 refused=0;;;0 new=0;0;;0 gone=0;;0;0 changed=0;0;;0 time=3.200s;;;0\n"},
        {updates, std::nullopt, CheckStatus::Warning,
         "TRAWLIX WARNING: 4 adapters on 254 addresses, 2 firmware updates available, 1 login refused, 1 without "
         "update information | adapters=4;;;0 updates=2;0;;0 refused=1;;;0 time=3.200s;;;0\n"},
        {current, ChangeCounts{1, 0, 2}, CheckStatus::Warning,
         "TRAWLIX WARNING: 2 adapters on 254 addresses, 1 new adapter, 2 adapters changed | adapters=2;;;0 "
         "updates=0;0;;0 refused=0;;;0 new=1;0;;0 gone=0;;0;0 changed=2;0;;0 time=3.200s;;;0\n"},
        {updates, ChangeCounts{0, 1, 0}, CheckStatus::Critical,
         "TRAWLIX CRITICAL: 4 adapters on 254 addresses, 1 adapter gone, 2 firmware updates available, 1 login "
         "refused, 1 without update information | adapters=4;;;0 updates=2;0;;0 refused=1;;;0 new=0;0;;0 "
         "gone=1;;0;0 changed=0;0;;0 time=3.200s;;;0\n"},
    };
    for (const Case& c : cases) {
        const CheckResult result = CheckSearch(c.records, done, c.changes);
        EXPECT_EQ(result.status, c.status) << c.line;
        EXPECT_EQ(result.ExitCode(), static_cast<int>(c.status));
        EXPECT_EQ(result.line, c.line);
    }
}

TEST(CheckStatusTest, UnknownWhenTheSearchCouldNotRunOrWasCutShort)
{
    const CheckResult interrupted =
        CheckSearch({Adapter(1, 1, "Available (4.30)")}, SearchSummary{254, 1, false, 0}, ChangeCounts{0, 5, 0});
    EXPECT_EQ(interrupted.ExitCode(), 3);
    EXPECT_EQ(interrupted.line, "TRAWLIX UNKNOWN: the search was interrupted after 1 adapter had been found\n");

    // A reason from the command line or a file name cannot break the line or start performance data.
    const CheckResult usage = CheckCannotRun("networks.txt:3: bad network \"10.0.0|x\"\nsecond line");
    EXPECT_EQ(usage.ExitCode(), 3);
    EXPECT_EQ(usage.line, "TRAWLIX UNKNOWN: networks.txt:3: bad network \"10.0.0/x\" second line\n");
    // Nor turn itself around or hide a part of it: overrides by their code, other bytes as Latin-1.
    EXPECT_EQ(CheckCannotRun("cannot read /etc/\xE2\x80\xAEten.net\r\x1B[2J").line,
              "TRAWLIX UNKNOWN: cannot read /etc/<U+202E>ten.net  [2J\n");
    EXPECT_EQ(CheckCannotRun("S\xFC"
                             "d.net")
                  .line,
              "TRAWLIX UNKNOWN: S\xC3\xBC"
              "d.net\n");
}

} // namespace
