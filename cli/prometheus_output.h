#pragma once

#include "cli/search_summary.h"
#include "scan/record/device_record.h"
#include "scan/record/prometheus_series.h"

#include <string>
#include <vector>

// The search in the Prometheus text exposition format (version 0.0.4), for node_exporter's
// textfile collector: the adapters' series (FormatPrometheusAdapters), then the series about the
// search itself: the addresses it covered, the adapters found and those that refused the login,
// its duration, whether it ran to its end and when it ended.
[[nodiscard]] std::string FormatPrometheus(const std::vector<DeviceRecord>& records, const SearchSummary& summary);

// The file of a search that did not run to its end (interrupted, or it could not start): the
// adapter series of the `previous` file as they were, so that no adapter looks gone and the age of
// an update keeps counting, and the series about this search with trawlix_search_success 0.
// `previous` is what FormatPrometheus wrote before (empty when there was none); only its
// trawlix_adapter_ lines are taken.
[[nodiscard]] std::string FormatPrometheusAfterFailure(const std::string& previous, const SearchSummary& summary);
