#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// Makes 127.0.0.1 the only name server of the calling thread and of every thread and process it
// starts later: a mount namespace of its own in which /etc/resolv.conf is replaced. Use it in a
// private network namespace (EnterPrivateNetwork) before any thread starts, with a DnsRecorder on
// 127.0.0.1, so every host-name lookup of the program under test is seen and none leaves.
bool UseLoopbackResolver(std::string* reason);

// A name server on 127.0.0.1:53 (UDP) that records the names asked and answers each query at
// once with "no such name", so a lookup is noticed without making anyone wait.
class DnsRecorder final
{
public:
    DnsRecorder() = default;
    ~DnsRecorder();
    DnsRecorder(const DnsRecorder&) = delete;
    DnsRecorder& operator=(const DnsRecorder&) = delete;

    bool Start(std::string* reason);
    // The names asked so far, in order (one per query: a lookup often asks for A and AAAA).
    [[nodiscard]] std::vector<std::string> Queries() const;

private:
    void Serve();

    int socket_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> queries_;
};

} // namespace testsupport
