#include "cli/prometheus_output.h"

#include <charconv>
#include <cstddef>
#include <string_view>

namespace {

std::string Number(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// The trawlix_adapter_ lines of a text, with the number of adapters and refused logins they hold:
// the search's own series count what the file shows.
struct AdapterLines
{
    std::string text;
    std::size_t adapters = 0;
    std::size_t refused = 0;
};

AdapterLines AdapterLinesOf(std::string_view text)
{
    AdapterLines out;
    // A last line without its line feed is cut off: taken, it could make the whole file unreadable.
    for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const bool metadata =
            line.rfind("# HELP trawlix_adapter_", 0) == 0 || line.rfind("# TYPE trawlix_adapter_", 0) == 0;
        if (!metadata && line.rfind("trawlix_adapter_", 0) != 0)
            continue;
        out.adapters += line.rfind("trawlix_adapter_info{", 0) == 0 ? 1 : 0;
        out.refused += line.rfind("trawlix_adapter_login_refused{", 0) == 0 ? 1 : 0;
        out.text.append(line).append("\n");
    }
    return out;
}

// The adapters' lines, then the series about the search itself.
std::string WithSearchSeries(const AdapterLines& lines, const SearchSummary& summary)
{
    std::string out = lines.text;
    AppendPrometheusFamily(out, "trawlix_search_addresses", "Addresses the last search covered.");
    AppendPrometheusSample(out, "trawlix_search_addresses", {}, std::to_string(summary.addresses));
    AppendPrometheusFamily(out, "trawlix_search_adapters", "Adapters the last search found.");
    AppendPrometheusSample(out, "trawlix_search_adapters", {}, std::to_string(lines.adapters));
    AppendPrometheusFamily(out, "trawlix_search_login_refusals", "Adapters that refused the login in the last search.");
    AppendPrometheusSample(out, "trawlix_search_login_refusals", {}, std::to_string(lines.refused));
    AppendPrometheusFamily(out, "trawlix_search_duration_seconds", "How long the last search took.");
    AppendPrometheusSample(out, "trawlix_search_duration_seconds", {}, Number(summary.durationSeconds));
    AppendPrometheusFamily(out, "trawlix_search_success",
                           "1 when the last search ran to its end, 0 when it was interrupted or could not start.");
    AppendPrometheusSample(out, "trawlix_search_success", {}, summary.completed ? "1" : "0");
    AppendPrometheusFamily(out, "trawlix_search_timestamp_seconds",
                           "When the last search ended, in seconds since 1970.");
    AppendPrometheusSample(out, "trawlix_search_timestamp_seconds", {}, std::to_string(summary.finishedAt));
    return out;
}

} // namespace

std::string FormatPrometheus(const std::vector<DeviceRecord>& records, const SearchSummary& summary)
{
    return WithSearchSeries(AdapterLinesOf(FormatPrometheusAdapters(records)), summary);
}

std::string FormatPrometheusAfterFailure(const std::string& previous, const SearchSummary& summary)
{
    SearchSummary failed = summary;
    failed.completed = false;
    return WithSearchSeries(AdapterLinesOf(previous), failed);
}
