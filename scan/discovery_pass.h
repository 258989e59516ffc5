#pragma once

#include "scan/record/probe_seam.h"
#include "support/threads/message_queue.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace scan {

// Runs the knock of one search on a thread of its own, so the scan controller can start probe
// jobs for the addresses that answered while the others are still being knocked. The controller
// waits on Arrived() together with its jobs and collects the outcomes with Take().
class DiscoveryPass final
{
public:
    // Starts the knock; `stopRequested` is how the search tells it to give up (it is asked at
    // least every 100 ms by the program's knock).
    DiscoveryPass(const KnockFunction& knock, std::vector<Ipv4Address> addresses, bool useHttps,
                  std::function<bool()> stopRequested);
    // Tells the knock to give up and waits for its thread.
    ~DiscoveryPass();
    DiscoveryPass(const DiscoveryPass&) = delete;
    DiscoveryPass& operator=(const DiscoveryPass&) = delete;

    // Set whenever outcomes arrived or the knock ended; resets itself when a wait returns it.
    [[nodiscard]] jwin::Waitable* Arrived() { return &arrived_; }
    // The outcomes that arrived since the last call: (address index, outcome).
    [[nodiscard]] std::vector<std::pair<std::size_t, KnockOutcome>> Take();
    // True once the knock has returned; every outcome it reported is then in Take().
    [[nodiscard]] bool Finished() const { return finished_.load(); }

private:
    std::vector<Ipv4Address> addresses_;
    std::function<bool()> stopRequested_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{false};
    jwin::Waitable arrived_{true, false};
    std::mutex mutex_;
    std::vector<std::pair<std::size_t, KnockOutcome>> outcomes_;
    std::thread thread_;
};

} // namespace scan
