#include "scan/record/prometheus_series.h"

#include "scan/record/adapter_state.h"
#include "scan/record/display_text.h"
#include "scan/record/record_format.h"

#include <algorithm>
#include <array>
#include <set>
#include <utility>

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

} // namespace

void AppendPrometheusFamily(std::string& out, std::string_view name, std::string_view help)
{
    out.append("# HELP ").append(name).append(" ").append(help).append("\n");
    out.append("# TYPE ").append(name).append(" gauge\n");
}

void AppendPrometheusSample(std::string& out, std::string_view name, std::string_view labels, std::string_view value)
{
    out.append(name);
    if (!labels.empty())
        out.append("{").append(labels).append("}");
    out.append(" ").append(value).append("\n");
}

std::string FormatPrometheusAdapters(const std::vector<DeviceRecord>& records)
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
    std::string out;
    if (adapters.empty())
        return out;
    AppendPrometheusFamily(out, "trawlix_adapter_info",
                           "An adapter the search found, with its identity in the labels.");
    for (const DeviceRecord* r : adapters) {
        // A refused login leaves only the address known; "Access denied!" is no model.
        const bool denied = RefusedLogin(*r);
        AppendPrometheusSample(out, "trawlix_adapter_info",
                               "ip=\"" + Label(*r, r->ip) + "\",mac=\"" + Label(*r, r->mac) + "\",model=\"" +
                                   (denied ? std::string() : Label(*r, r->model)) + "\",firmware=\"" +
                                   Label(*r, r->firmware) + "\",manufacturer=\"" + Label(*r, r->manufacturer) +
                                   "\",oem=\"" + Label(*r, r->oem) + "\",location=\"" + Label(*r, r->location) +
                                   "\",family=\"" + (r->jsonApi ? "lx400" : "legacy") + "\"",
                               "1");
    }
    AppendPrometheusFamily(out, "trawlix_adapter_update_state",
                           "Firmware update state of an adapter: 1 for its state, 0 for the others. unknown: the "
                           "vendor could not be asked or its answer not read, or the login was refused.");
    for (const DeviceRecord* r : adapters) {
        const AdapterUpdate update = UpdateOf(*r);
        const std::string key = "ip=\"" + Label(*r, r->ip) + "\",mac=\"" + Label(*r, r->mac) + "\",state=\"";
        for (const auto& [state, name] : kStates)
            AppendPrometheusSample(out, "trawlix_adapter_update_state", key + name + "\"", state == update ? "1" : "0");
    }
    if (std::any_of(adapters.begin(), adapters.end(), [](const DeviceRecord* r) { return RefusedLogin(*r); })) {
        AppendPrometheusFamily(out, "trawlix_adapter_login_refused",
                               "An LX400 adapter that refused the login, so that only its address is known.");
        for (const DeviceRecord* r : adapters) {
            if (RefusedLogin(*r))
                AppendPrometheusSample(out, "trawlix_adapter_login_refused", "ip=\"" + Label(*r, r->ip) + "\"", "1");
        }
    }
    return out;
}
