#pragma once

#include "scan/scan_info.h"
#include "scan/scan_plan.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// Runs one search: knocks on every address of the plan at once (the discovery pass), starts a
// probe job per address that answered, at most the plan's job count at once, delivers a
// not-found record itself for every address the knock ruled out, and sends an end-of-search
// record when every address was settled and the final wait returned.
//
// Everything a search needs comes down with its plan (SetPlan): the addresses, the LX400 login,
// the probes and how they are run. The controller asks nobody for anything; it hands each job its
// address with the plan's login and probes.
class CScanThread : public jwin::CJThreadEx
{
public:
    static constexpr int kSlotCount = 256;
    // The default address has a slot of its own; host numbers stay within 0..254.
    static constexpr int kDefaultAddressSlot = 255;
    static constexpr int kMaxJobs = 10;

    // One search's plan.
    struct Plan
    {
        // In start order, each address once (scan::PlanAddresses).
        std::vector<scan::PlannedAddress> addresses;
        scan::Login login;
        JobProbes probes;
        // How many jobs run at once: the window keeps ten, the headless front end may ask for 1 to
        // 255.
        int maxJobs = kMaxJobs;
        // Knock before probing (only with a knock among the probes).
        bool discovery = true;
    };

    // `context` is passed back unchanged with every record; it may be null. The final wait is the
    // program's 120 s unless a test shortens it.
    CScanThread(ScanResultCallback callback, void* context, std::uint32_t finalWaitMs = 120000);
    ~CScanThread() override;

    // The plan of the next Start; a later Start without a new plan searches it again.
    void SetPlan(Plan plan);
    // Prepares and starts jobs[slot] for `address` with the plan's login and probes and the ports
    // the knock found dead there; null when the job could not start.
    jwin::CJThread::Handle StartJob(const scan::PlannedAddress& address, int slot,
                                    std::vector<DeadPort> deadPorts = {});
    [[nodiscard]] bool AnyJobRunning() const;
    void WaitForJobs();
    void StopAllJobs();
    std::int32_t Run() override;

    ScanResultCallback resultCallback;
    void* callbackContext;
    std::atomic<bool> abortRequested{false};

private:
    std::array<CScanInfo, kSlotCount> jobs;
    std::uint32_t finalWaitMs_;
    // Set by SetPlan on the window's thread, taken by Run at its start.
    std::mutex planMutex_;
    Plan next_;
    // The plan of the running search; touched by the controller's thread only.
    Plan current_;
    // Held while a job is started and while a stop requests stop on every slot, so a job the
    // controller starts during a stop is either seen by the stop or not started at all.
    std::mutex startMutex_;
};
