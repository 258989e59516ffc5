#pragma once

#include "scan/record/device_record.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The adapters of a list as series of the Prometheus text exposition format (version 0.0.4), what
// a list can say on its own; the series about a search (its duration, success, time) need the
// search and are the front end's. Per adapter found: trawlix_adapter_info (its identity in the
// labels ip, mac, model, firmware, manufacturer, oem, location and family "legacy" or "lx400";
// value 1), trawlix_adapter_update_state (one series per state, 1 for the adapter's, 0 for the
// others) and, for an LX400 that refused the login, trawlix_adapter_login_refused. Adapters are in
// address order, each address once. Label values are the display texts the other formats show,
// control characters as spaces and invisible ones by their code, at most kMaxLabelBytes long,
// escaped as the format requires; they are valid UTF-8 whatever an adapter sent. Nothing at all
// for a list without adapters.
[[nodiscard]] std::string FormatPrometheusAdapters(const std::vector<DeviceRecord>& records);

// The longest label value written, in bytes (cut at a character boundary): a location text of
// megabytes would cost every scrape and the database as much.
inline constexpr std::size_t kMaxLabelBytes = 256;

// A metric family's HELP and TYPE lines (every series here is a gauge), and one of its samples
// (`labels` as written between the braces, empty for none), for writers of further series.
void AppendPrometheusFamily(std::string& out, std::string_view name, std::string_view help);
void AppendPrometheusSample(std::string& out, std::string_view name, std::string_view labels, std::string_view value);
