#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

// A tun device of the test's private network namespace that networks are routed into: it reads
// every IPv4 packet sent there and counts them by destination address, and answers none, so a
// connect to such an address gets no answer at all. Proves on the wire which addresses a program
// contacted.
class PacketCounter final
{
public:
    // Makes the device `name` and starts reading; Ready() says whether that worked.
    explicit PacketCounter(const std::string& name);
    ~PacketCounter();
    PacketCounter(const PacketCounter&) = delete;
    PacketCounter& operator=(const PacketCounter&) = delete;

    [[nodiscard]] bool Ready() const { return fd_ >= 0; }
    // Routes an IPv4 network ("10.62.0.0/29", "10.10.10.10/32") into the device.
    bool Route(const std::string& network) const;

    // Destination address -> packets read so far.
    [[nodiscard]] std::map<std::string, int> Packets() const;

private:
    void Read();

    std::string name_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::map<std::string, int> packets_;
    std::thread reader_;
};

} // namespace testsupport
