#include "prometheus_stack.h"

#include <curl/curl.h>

#include <csignal>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include <unistd.h>

namespace testsupport {

namespace {

using namespace std::chrono_literals;

constexpr int kNodeExporterPort = 9100;
constexpr int kPrometheusPort = 9090;

std::size_t Append(char* data, std::size_t size, std::size_t count, void* body)
{
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

std::string Escape(const std::string& text)
{
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    std::unique_ptr<char, decltype(&curl_free)> escaped(
        curl_easy_escape(curl.get(), text.c_str(), static_cast<int>(text.size())), &curl_free);
    return escaped ? escaped.get() : "";
}

void Stop(std::unique_ptr<ChildProcess>& process)
{
    if (!process)
        return;
    process->Signal(SIGTERM);
    process->Wait(20s); // the destructor kills what is left
}

} // namespace

std::optional<std::string> LoopbackGet(int port, const std::string& pathAndQuery, long* status)
{
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl)
        return std::nullopt;
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + pathAndQuery;
    std::string body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, 5000L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(curl.get()) != CURLE_OK)
        return std::nullopt;
    if (status != nullptr)
        curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, status);
    return body;
}

bool PrometheusStack::Installed()
{
    return access(kNodeExporter, X_OK) == 0 && access(kPrometheus, X_OK) == 0;
}

std::unique_ptr<PrometheusStack> PrometheusStack::Start(const std::string& rules, std::string& why)
{
    const auto begin = std::chrono::steady_clock::now();
    std::unique_ptr<PrometheusStack> stack(new PrometheusStack());
    std::filesystem::create_directory(stack->TextfileFolder());
    stack->nodeExporter_ = std::make_unique<ChildProcess>(
        kNodeExporter, std::vector<std::string>{"--web.listen-address=127.0.0.1:" + std::to_string(kNodeExporterPort),
                                                "--collector.disable-defaults", "--collector.textfile",
                                                "--collector.textfile.directory=" + stack->TextfileFolder().string()});
    std::string config = "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                         "scrape_configs:\n  - job_name: node\n    static_configs:\n"
                         "      - targets: ['127.0.0.1:" +
                         std::to_string(kNodeExporterPort) + "']\n";
    if (!rules.empty())
        config += "rule_files:\n  - '" + rules + "'\n";
    const auto configFile = stack->folder_.WriteFile("prometheus.yml", config);
    stack->prometheus_ = std::make_unique<ChildProcess>(
        kPrometheus, std::vector<std::string>{"--config.file=" + configFile.string(),
                                              "--storage.tsdb.path=" + (stack->folder_.Path() / "data").string(),
                                              "--web.listen-address=127.0.0.1:" + std::to_string(kPrometheusPort)});
    if (!stack->nodeExporter_->Started() || !stack->prometheus_->Started()) {
        why = "node_exporter or prometheus could not be started";
        return nullptr;
    }
    // Ready when Prometheus answers and has scraped node_exporter once.
    for (const auto deadline = begin + 60s; std::chrono::steady_clock::now() < deadline;) {
        const Json::Value up = stack->Query("up{job=\"node\"} == 1");
        if (up.size() == 1) {
            stack->started_ =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
            return stack;
        }
        if (stack->nodeExporter_->Wait(0ms) || stack->prometheus_->Wait(0ms))
            break;
        std::this_thread::sleep_for(100ms);
    }
    why = "Prometheus did not scrape node_exporter within a minute: " + stack->Logs();
    return nullptr;
}

PrometheusStack::~PrometheusStack()
{
    Stop(prometheus_);
    Stop(nodeExporter_);
}

Json::Value PrometheusStack::Api(const std::string& pathAndQuery) const
{
    const std::optional<std::string> body = LoopbackGet(kPrometheusPort, pathAndQuery);
    Json::Value answer;
    std::istringstream in(body.value_or(""));
    Json::CharReaderBuilder builder;
    std::string errors;
    if (!body || !Json::parseFromStream(builder, in, &answer, &errors))
        return Json::Value();
    return answer;
}

Json::Value PrometheusStack::Query(const std::string& promql) const
{
    const Json::Value answer = Api("/api/v1/query?query=" + Escape(promql));
    if (answer["status"].asString() != "success")
        return Json::Value(Json::arrayValue);
    return answer["data"]["result"];
}

Json::Value PrometheusStack::WaitForResults(const std::string& promql, Json::ArrayIndex count,
                                            std::chrono::milliseconds limit) const
{
    Json::Value result;
    for (const auto deadline = std::chrono::steady_clock::now() + limit;;) {
        result = Query(promql);
        if (result.size() == count || std::chrono::steady_clock::now() >= deadline)
            return result;
        std::this_thread::sleep_for(200ms);
    }
}

std::string PrometheusStack::Logs() const
{
    std::string logs;
    if (nodeExporter_)
        logs += "node_exporter: " + nodeExporter_->Errors().substr(0, 4000) + "\n";
    if (prometheus_)
        logs += "prometheus: " + prometheus_->Errors().substr(0, 4000) + "\n";
    return logs;
}

} // namespace testsupport
