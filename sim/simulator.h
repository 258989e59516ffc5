#pragma once

// All listeners of one network description: an HTTP(S) server per address and port, the raw hosts,
// and the counters behind them.
#include "sim/certificate.h"
#include "sim/network_file.h"
#include "sim/raw_host.h"
#include "sim/stats.h"
#include "sim/tls_setup.h"

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace sim {

// Lets waits inside handlers (delays, streamed pages) end at once when the simulator stops.
class StopSignal final
{
public:
    // Waits up to `ms`; false when the stop came first.
    bool Sleep(int ms);
    [[nodiscard]] bool Stopped() const;
    void Stop();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stopped_ = false;
};

class Simulator final
{
public:
    explicit Simulator(Network network);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Appends one line per answered request to `path`: "ADDRESS METHOD TARGET STATUS". The raw
    // hosts (silent, trickle) write none. Call before Bind.
    [[nodiscard]] bool OpenLog(const std::string& path, std::string& error);
    // Makes and binds every listener; false with a reason on the first failure. Connections are
    // accepted by the kernel from here on and served once Start has run.
    [[nodiscard]] bool Bind(std::string& error);
    void Start();
    void Stop();

    // "ADDRESS:PORT KIND" for every bound listener.
    [[nodiscard]] const std::vector<std::string>& Listeners() const { return listeners_; }
    [[nodiscard]] const Stats& Counters() const { return stats_; }

private:
    struct Served;
    bool Listen(std::unique_ptr<httplib::Server> server, const std::string& address, int port, const char* kind,
                std::string& error);
    // A plain server, or an https one with the given TLS set-up.
    std::unique_ptr<httplib::Server> MakeServer(const std::string& address, const TlsSetup* tls, int threads,
                                                std::string& error);
    // The adapter's answer at `path` (a router's on every path).
    void AddLegacy(httplib::Server& server, const LegacyAdapter& adapter, const std::string& path);
    bool BindLegacy(const LegacyAdapter& adapter, std::string& error);
    void AddLx400(httplib::Server& server, const Lx400Adapter& adapter);
    void AddBigPage(httplib::Server& server, const BigPageHost& host);
    void AddVendor(httplib::Server& server);

    Network network_;
    Stats stats_;
    StopSignal stop_;
    TlsSetups tls_;
    std::vector<std::unique_ptr<Served>> served_;
    std::vector<std::unique_ptr<RawListener>> raw_;
    std::vector<std::string> listeners_;
    bool started_ = false;
    std::FILE* log_ = nullptr;
    std::mutex logMutex_;
};

} // namespace sim
