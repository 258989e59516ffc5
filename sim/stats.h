#pragma once

// Counters that integration tests read back: requests per address and path, and how many
// connections were open at once, per address and over all addresses.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace sim {

class Stats final
{
public:
    struct Host
    {
        std::uint64_t connections = 0;
        int open = 0;
        int peak = 0;
        std::map<std::string, std::uint64_t> requests;
    };

    // The counters of `address`, created on first use. The reference stays valid for the lifetime
    // of the registry, so listeners look it up once at set-up.
    Host& For(const std::string& address);

    void Opened(Host& host);
    void Closed(Host& host);
    void Requested(Host& host, const std::string& path);

    // {"connections":N,"peakConnections":N,"hosts":{"ADDRESS":{"connections":N,
    //  "peakConnections":N,"requests":{"/PATH":N,...}},...}}
    [[nodiscard]] std::string Json() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::unique_ptr<Host>> hosts_;
    std::uint64_t connections_ = 0;
    int open_ = 0;
    int peak_ = 0;
};

} // namespace sim
