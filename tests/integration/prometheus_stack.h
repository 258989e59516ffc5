#pragma once

// Debian's node_exporter and Prometheus as a site and its monitoring run them, for end-to-end
// tests: node_exporter with only its textfile collector, on a folder of the test's, and
// Prometheus scraping it every second with the example rules loaded, both on loopback ports of
// the test's private network namespace, both stopped with the object.
#include "testsupport/child_process.h"
#include "testsupport/temp_folder.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <json/json.h>

namespace testsupport {

class PrometheusStack final
{
public:
    static constexpr const char* kNodeExporter = "/usr/bin/prometheus-node-exporter";
    static constexpr const char* kPrometheus = "/usr/bin/prometheus";

    // Whether both programs are installed (Debian packages prometheus-node-exporter, prometheus).
    [[nodiscard]] static bool Installed();

    // Starts both with `rules` (a Prometheus rules file; empty for none) and returns once
    // Prometheus has scraped node_exporter; nullptr with the reason otherwise.
    static std::unique_ptr<PrometheusStack> Start(const std::string& rules, std::string& why);
    ~PrometheusStack();
    PrometheusStack(const PrometheusStack&) = delete;
    PrometheusStack& operator=(const PrometheusStack&) = delete;

    // Where node_exporter reads *.prom files.
    [[nodiscard]] std::filesystem::path TextfileFolder() const { return folder_.Path() / "textfile"; }

    // GET of Prometheus' HTTP API, e.g. "/api/v1/rules"; the JSON answer, null when none came.
    [[nodiscard]] Json::Value Api(const std::string& pathAndQuery) const;
    // The result vector of an instant query (data.result), empty when none came.
    [[nodiscard]] Json::Value Query(const std::string& promql) const;
    // Queries until the result has `count` elements or `limit` passed; the last result.
    Json::Value WaitForResults(const std::string& promql, Json::ArrayIndex count,
                               std::chrono::milliseconds limit = std::chrono::seconds(30)) const;

    // How long the start took until the first scrape.
    [[nodiscard]] std::chrono::milliseconds StartTime() const { return started_; }
    // The programs' standard error, for a test's failure message.
    [[nodiscard]] std::string Logs() const;

private:
    PrometheusStack() = default;

    TempFolder folder_;
    std::unique_ptr<ChildProcess> nodeExporter_;
    std::unique_ptr<ChildProcess> prometheus_;
    std::chrono::milliseconds started_{0};
};

// GET of http://127.0.0.1:PORT/PATH without any proxy; the body, or nullopt when no answer came.
[[nodiscard]] std::optional<std::string> LoopbackGet(int port, const std::string& pathAndQuery, long* status = nullptr);

} // namespace testsupport
