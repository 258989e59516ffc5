#include "cli/check_status.h"

#include "scan/record/display_text.h"
#include "scan/record/record_format.h"

#include <algorithm>
#include <charconv>

namespace {

const char* StatusWord(CheckStatus status)
{
    switch (status) {
    case CheckStatus::Ok:
        return "OK";
    case CheckStatus::Warning:
        return "WARNING";
    case CheckStatus::Critical:
        return "CRITICAL";
    case CheckStatus::Unknown:
        break;
    }
    return "UNKNOWN";
}

// The plugin host cuts the line at '|' (performance data follows) and shows only the first line;
// a reason may quote what was typed or read from a file: as UTF-8 without controls, line breaks
// or invisible characters.
std::string OneLineText(const std::string& text)
{
    std::string out = TerminalText(PlainTextAsUtf8(text));
    std::replace(out.begin(), out.end(), '|', '/');
    return out;
}

std::string Count(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Seconds(double seconds)
{
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, std::max(seconds, 0.0), std::chars_format::fixed, 3);
    return std::string(buffer, result.ptr) + "s";
}

CheckResult Result(CheckStatus status, const std::string& text, const std::string& performance = {})
{
    std::string line = std::string("TRAWLIX ") + StatusWord(status) + ": " + OneLineText(text);
    if (!performance.empty())
        line += " | " + performance;
    return {status, line + "\n"};
}

} // namespace

CheckResult CheckSearch(const std::vector<DeviceRecord>& records, const SearchSummary& summary,
                        const std::optional<ChangeCounts>& changes)
{
    const AdapterCounts counts = CountAdapters(records);
    if (!summary.completed)
        return Result(CheckStatus::Unknown, "the search was interrupted after " +
                                                Count(counts.adapters, "adapter", "adapters") + " had been found");

    std::size_t unknown = 0;
    for (const DeviceRecord& record : records)
        unknown += record.found && !RefusedLogin(record) && UpdateOf(record) == AdapterUpdate::Unknown ? 1 : 0;

    CheckStatus status = CheckStatus::Ok;
    std::vector<std::string> findings;
    auto note = [&](CheckStatus level, std::string text) {
        status = std::max(status, level);
        findings.push_back(std::move(text));
    };
    if (changes && changes->gone > 0)
        note(CheckStatus::Critical, Count(changes->gone, "adapter gone", "adapters gone"));
    if (changes && changes->added > 0)
        note(CheckStatus::Warning, Count(changes->added, "new adapter", "new adapters"));
    if (changes && changes->changed > 0)
        note(CheckStatus::Warning, Count(changes->changed, "adapter changed", "adapters changed"));
    if (counts.updates > 0)
        note(CheckStatus::Warning, Count(counts.updates, "firmware update", "firmware updates") + " available");

    std::string text =
        Count(counts.adapters, "adapter", "adapters") + " on " + Count(summary.addresses, "address", "addresses");
    if (findings.empty()) {
        text += changes ? ", no change since the inventory" : "";
        text += ", no firmware update available";
    }
    for (const std::string& finding : findings)
        text += ", " + finding;
    if (counts.refused > 0)
        text += ", " + Count(counts.refused, "login refused", "logins refused");
    if (unknown > 0)
        text += ", " + std::to_string(unknown) + " without update information";

    std::string performance = "adapters=" + std::to_string(counts.adapters) +
                              ";;;0 updates=" + std::to_string(counts.updates) +
                              ";0;;0 refused=" + std::to_string(counts.refused) + ";;;0";
    if (changes)
        performance += " new=" + std::to_string(changes->added) + ";0;;0 gone=" + std::to_string(changes->gone) +
                       ";;0;0 changed=" + std::to_string(changes->changed) + ";0;;0";
    performance += " time=" + Seconds(summary.durationSeconds) + ";;;0";
    return Result(status, text, performance);
}

CheckResult CheckCannotRun(const std::string& reason)
{
    return Result(CheckStatus::Unknown, reason);
}
