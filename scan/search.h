#pragma once

#include "scan/network_list.h"
#include "scan/record/device_record.h"
#include "scan/record/probe_seam.h"
#include "scan/scan_plan.h"
#include "scan/scan_thread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace scan {

// Everything one search needs: where to look, how to log in to LX400 adapters, what looks at the
// addresses, how many probe jobs at once and whether addresses are knocked on before they are
// probed. It goes down whole: the controller hands each job its part.
struct SearchPlan
{
    // Searched when scanRange is set; an address in several of them (or the factory address in
    // one) is searched once, an excluded one never.
    NetworkList networks;
    bool scanRange = true;
    bool scanDefaultAddress = true; // the factory address 10.10.10.10, always first
    Login login;
    // The probes of this search (the real ones in the programs, stand-ins in tests).
    JobProbes probes;
    int jobs = CScanThread::kMaxJobs; // 1 to 255
    bool discovery = true;
};

// How many records a search of `plan` delivers before its end record: one per address.
[[nodiscard]] std::size_t AddressCount(const SearchPlan& plan);

// Receives every record of a search: one per address and the end-of-search record last. Called
// on the probe jobs' threads and the controller's thread, one call at a time: always under the
// process-wide scan lock, which the sink must not take itself on another thread.
using SearchSink = std::function<void(const DeviceRecord& record)>;

// The one way the front ends search: a scan controller with its jobs, the scan lock around every
// delivery, and the whole stop sequence in one call. The controller (CScanThread) and its jobs
// (CScanInfo) do the work underneath.
//
// Start and Stop may be called from any one thread at a time, typically the window's. Their waits
// keep dispatching that thread's message queue, so a sink that Sends to it (the window updating
// its controls) never blocks them.
class Search final
{
public:
    // The final wait for the last jobs is the program's 120 s unless a test shortens it.
    explicit Search(SearchSink sink, std::uint32_t finalWaitMs = 120000);
    ~Search();
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;

    // Starts a search of `plan`, after the previous one's controller has ended. False when the
    // controller did not start.
    [[nodiscard]] bool Start(const SearchPlan& plan);

    // Ends the search: no new jobs, every job asked to stop and waited for, then the controller.
    // Records may still reach the sink while it runs, none after it returns; an end-of-search
    // record not yet delivered when it began is dropped, as a stopped search has no end of its
    // own. Harmless when no search runs.
    void Stop();

    // Whether a search runs and no stop has been asked for it.
    [[nodiscard]] bool Running() const;

private:
    static int Deliver(const DeviceRecord& record, void* context);

    SearchSink sink_;
    std::atomic<bool> stopping_{false};
    CScanThread controller_;
};

} // namespace scan
