#include "sim/stats.h"

#include <json/json.h>

#include <algorithm>

namespace sim {

Stats::Host& Stats::For(const std::string& address)
{
    const std::lock_guard lock(mutex_);
    auto& host = hosts_[address];
    if (!host)
        host = std::make_unique<Host>();
    return *host;
}

void Stats::Opened(Host& host)
{
    const std::lock_guard lock(mutex_);
    ++connections_;
    peak_ = std::max(peak_, ++open_);
    ++host.connections;
    host.peak = std::max(host.peak, ++host.open);
}

void Stats::Closed(Host& host)
{
    const std::lock_guard lock(mutex_);
    --open_;
    --host.open;
}

void Stats::Requested(Host& host, const std::string& path)
{
    const std::lock_guard lock(mutex_);
    ++host.requests[path];
}

std::string Stats::Json() const
{
    Json::Value root(Json::objectValue);
    Json::Value hosts(Json::objectValue);
    {
        const std::lock_guard lock(mutex_);
        root["connections"] = Json::UInt64(connections_);
        root["peakConnections"] = peak_;
        for (const auto& [address, host] : hosts_) {
            Json::Value entry(Json::objectValue);
            entry["connections"] = Json::UInt64(host->connections);
            entry["peakConnections"] = host->peak;
            Json::Value requests(Json::objectValue);
            for (const auto& [path, count] : host->requests)
                requests[path] = Json::UInt64(count);
            entry["requests"] = requests;
            hosts[address] = entry;
        }
    }
    root["hosts"] = hosts;
    Json::StreamWriterBuilder builder;
    builder["indentation"] = " ";
    return Json::writeString(builder, root) + "\n";
}

} // namespace sim
