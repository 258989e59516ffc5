#pragma once

#include "cli/search_summary.h"
#include "scan/record/device_record.h"

#include <cstddef>
#include <string>
#include <vector>

// The search in the Prometheus text exposition format (version 0.0.4), for node_exporter's
// textfile collector. Per adapter found: trawlix_adapter_info (its identity in the labels ip, mac,
// model, firmware, manufacturer, oem, location and family "legacy" or "lx400"; value 1),
// trawlix_adapter_update_state (one series per state, 1 for the adapter's, 0 for the others) and,
// for an LX400 that refused the login, trawlix_adapter_login_refused. About the search: the
// addresses it covered, the adapters found and those that refused the login, its duration, whether
// it ran to its end and when it ended. Adapters are in address order, each address once. Label
// values are the texts the other formats show, with control characters as spaces, at most
// kMaxLabelBytes long, escaped as the format requires; they are valid UTF-8 whatever an adapter sent.
[[nodiscard]] std::string FormatPrometheus(const std::vector<DeviceRecord>& records, const SearchSummary& summary);

// The file of a search that did not run to its end (interrupted, or it could not start): the
// adapter series of the `previous` file as they were, so that no adapter looks gone and the age of
// an update keeps counting, and the series about this search with trawlix_search_success 0.
// `previous` is what FormatPrometheus wrote before (empty when there was none); only its
// trawlix_adapter_ lines are taken.
[[nodiscard]] std::string FormatPrometheusAfterFailure(const std::string& previous, const SearchSummary& summary);

// The longest label value written, in bytes (cut at a character boundary): a location text of
// megabytes would cost every scrape and the database as much.
inline constexpr std::size_t kMaxLabelBytes = 256;
