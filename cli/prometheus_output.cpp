#include "cli/prometheus_output.h"

#include "scan/record/display_text.h"
#include "scan/record/record_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <set>
#include <string_view>

namespace {

constexpr std::array<std::pair<AdapterUpdate, const char*>, 4> kStates = {{
    {AdapterUpdate::Available, "available"},
    {AdapterUpdate::UpToDate, "up_to_date"},
    {AdapterUpdate::NotPossible, "not_possible"},
    {AdapterUpdate::Unknown, "unknown"},
}};

// A label value as the format writes it between its quotes: backslash, double quote and line feed
// escaped (line feeds are spaces by then; the escape stays as the format's rule).
std::string EscapeLabelValue(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// At most `limit` bytes of UTF-8 text, never ending inside a character.
std::string CutUtf8(std::string text, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

// A record's field as a label value: the display text every output shows.
std::string Label(const DeviceRecord& record, const std::string& bytes)
{
    return EscapeLabelValue(CutUtf8(TerminalText(DisplayText(bytes, record.jsonApi)), kMaxLabelBytes));
}

std::string Number(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void Family(std::string& out, std::string_view name, std::string_view help)
{
    out.append("# HELP ").append(name).append(" ").append(help).append("\n");
    out.append("# TYPE ").append(name).append(" gauge\n");
}

void Sample(std::string& out, std::string_view name, std::string_view labels, std::string_view value)
{
    out.append(name);
    if (!labels.empty())
        out.append("{").append(labels).append("}");
    out.append(" ").append(value).append("\n");
}

// The series about the search itself.
void SearchSeries(std::string& out, const SearchSummary& summary, std::size_t adapters, std::size_t refused)
{
    Family(out, "trawlix_search_addresses", "Addresses the last search covered.");
    Sample(out, "trawlix_search_addresses", {}, std::to_string(summary.addresses));
    Family(out, "trawlix_search_adapters", "Adapters the last search found.");
    Sample(out, "trawlix_search_adapters", {}, std::to_string(adapters));
    Family(out, "trawlix_search_login_refusals", "Adapters that refused the login in the last search.");
    Sample(out, "trawlix_search_login_refusals", {}, std::to_string(refused));
    Family(out, "trawlix_search_duration_seconds", "How long the last search took.");
    Sample(out, "trawlix_search_duration_seconds", {}, Number(summary.durationSeconds));
    Family(out, "trawlix_search_success",
           "1 when the last search ran to its end, 0 when it was interrupted or could not start.");
    Sample(out, "trawlix_search_success", {}, summary.completed ? "1" : "0");
    Family(out, "trawlix_search_timestamp_seconds", "When the last search ended, in seconds since 1970.");
    Sample(out, "trawlix_search_timestamp_seconds", {}, std::to_string(summary.finishedAt));
}

} // namespace

std::string FormatPrometheus(const std::vector<DeviceRecord>& records, const SearchSummary& summary)
{
    std::vector<const DeviceRecord*> adapters;
    std::set<std::string> addresses;
    for (const DeviceRecord& record : records) {
        // Two series with one label set make the whole file unreadable for the collector.
        if (record.found && !record.endOfSearch && addresses.insert(record.ip).second)
            adapters.push_back(&record);
    }
    std::stable_sort(adapters.begin(), adapters.end(),
                     [](const DeviceRecord* a, const DeviceRecord* b) { return IpLess(a->ip, b->ip); });
    const auto refused = static_cast<std::size_t>(
        std::count_if(adapters.begin(), adapters.end(), [](const DeviceRecord* r) { return RefusedLogin(*r); }));

    std::string out;
    if (!adapters.empty()) {
        Family(out, "trawlix_adapter_info", "An adapter the search found, with its identity in the labels.");
        for (const DeviceRecord* r : adapters) {
            // A refused login leaves only the address known; "Access denied!" is no model.
            const bool denied = RefusedLogin(*r);
            Sample(out, "trawlix_adapter_info",
                   "ip=\"" + Label(*r, r->ip) + "\",mac=\"" + Label(*r, r->mac) + "\",model=\"" +
                       (denied ? std::string() : Label(*r, r->model)) + "\",firmware=\"" + Label(*r, r->firmware) +
                       "\",manufacturer=\"" + Label(*r, r->manufacturer) + "\",oem=\"" + Label(*r, r->oem) +
                       "\",location=\"" + Label(*r, r->location) + "\",family=\"" + (r->jsonApi ? "lx400" : "legacy") +
                       "\"",
                   "1");
        }
        Family(out, "trawlix_adapter_update_state",
               "Firmware update state of an adapter: 1 for its state, 0 for the others. unknown: the vendor "
               "could not be asked or its answer not read, or the login was refused.");
        for (const DeviceRecord* r : adapters) {
            const AdapterUpdate update = UpdateOf(*r);
            const std::string key = "ip=\"" + Label(*r, r->ip) + "\",mac=\"" + Label(*r, r->mac) + "\",state=\"";
            for (const auto& [state, name] : kStates)
                Sample(out, "trawlix_adapter_update_state", key + name + "\"", state == update ? "1" : "0");
        }
        if (refused > 0) {
            Family(out, "trawlix_adapter_login_refused",
                   "An LX400 adapter that refused the login, so that only its address is known.");
            for (const DeviceRecord* r : adapters) {
                if (RefusedLogin(*r))
                    Sample(out, "trawlix_adapter_login_refused", "ip=\"" + Label(*r, r->ip) + "\"", "1");
            }
        }
    }
    SearchSeries(out, summary, adapters.size(), refused);
    return out;
}

std::string FormatPrometheusAfterFailure(const std::string& previous, const SearchSummary& summary)
{
    std::string out;
    std::size_t adapters = 0;
    std::size_t refused = 0;
    std::string_view rest = previous;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        const bool metadata =
            line.rfind("# HELP trawlix_adapter_", 0) == 0 || line.rfind("# TYPE trawlix_adapter_", 0) == 0;
        if (!metadata && line.rfind("trawlix_adapter_", 0) != 0)
            continue;
        adapters += line.rfind("trawlix_adapter_info{", 0) == 0 ? 1 : 0;
        refused += line.rfind("trawlix_adapter_login_refused{", 0) == 0 ? 1 : 0;
        out.append(line).append("\n");
    }
    SearchSummary failed = summary;
    failed.completed = false;
    SearchSeries(out, failed, adapters, refused);
    return out;
}
