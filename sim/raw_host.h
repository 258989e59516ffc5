#pragma once

// Hosts that misbehave below HTTP: one that accepts connections and never says a word, one that
// answers a byte at a time for ever, and one that hangs up on every request. One thread per host serves all its
// connections through poll(), so a client that opens many of them costs file descriptors (capped) but no threads.
#include "sim/network_file.h"
#include "sim/stats.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace sim {

class RawListener final
{
public:
    RawListener(const RawHost& host, Stats& stats);
    ~RawListener();
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;

    // Listens on every port of the host; false with a reason when one cannot be bound.
    [[nodiscard]] bool Bind(std::string& error);
    void Start();
    // Ends the thread and closes every connection; returns when both are done.
    void Stop();

    // Connections held at once; the oldest is closed to make room for a new one.
    static constexpr std::size_t kMaxConnections = 256;

private:
    struct Connection
    {
        int fd = -1;
        std::string request;
        bool requestDone = false;
        std::string pending;
        std::chrono::steady_clock::time_point nextByte;
        std::size_t sent = 0;
    };

    void Run();
    void Accept(int listener);
    // False when the connection is to be closed.
    bool Read(Connection& connection);
    bool Flush(Connection& connection);
    void Close(std::size_t index);

    RawHost host_;
    Stats& stats_;
    Stats::Host& counters_;
    std::vector<int> listeners_;
    std::vector<Connection> connections_;
    int wake_ = -1;
    std::thread thread_;
};

} // namespace sim
