#pragma once

#include "scan/scan_context.h"
#include "scan/scan_info.h"
#include "scan/scan_plan.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// Runs one search: knocks on every address of the plan at once (the discovery pass), starts a
// probe job per address that answered, at most MaxJobs() at once, delivers a not-found record
// itself for every address the knock ruled out, and sends an end-of-search record when every
// address was settled and the final wait returned. The plan is one network or several, each
// address visited once.
class CScanThread : public jwin::CJThreadEx
{
public:
    static constexpr int kSlotCount = 256;
    // The default address has a slot of its own; host numbers stay within 0..254.
    static constexpr int kDefaultAddressSlot = 255;
    static constexpr int kMaxJobs = 10;
    static constexpr std::size_t kMaxAddressLength = 127;

    // The window is the callback's context (passed as IScanWindow*), and the source of the login
    // copied into every job; it may be null. The final wait is the program's 120 s unless a test
    // shortens it.
    CScanThread(ScanResultCallback callback, IScanWindow* window, JobProbes probes, std::uint32_t finalWaitMs = 120000);
    ~CScanThread() override;

    void SetPlan(const std::string& startAddress, std::int32_t first, std::int32_t last);
    // SetPlan with the prefix as it is, not cut from a subnet text.
    void SetRange(std::string rangePrefix, std::int32_t first, std::int32_t last);
    // Several networks for one search; Prefix(), FirstHost() and LastHost() tell the first.
    void SetNetworks(std::vector<scan::SearchNetwork> networks);
    // How many jobs run at once; the window keeps ten, the headless front end may ask for
    // 1 to 255. Takes effect at the next search.
    void SetMaxJobs(int count);
    [[nodiscard]] int MaxJobs() const { return maxJobs_; }
    // Whether searches knock before they probe (on unless switched off, and only with a knock
    // among the probes). Takes effect at the next search.
    void SetDiscovery(bool on) { discovery_ = on; }
    [[nodiscard]] bool Discovery() const { return discovery_; }
    // What the knock of the current or last search found out about an address of its plan;
    // NotKnocked for an address it has not judged (yet). Readable from any thread.
    [[nodiscard]] KnockVerdict VerdictFor(const std::string& ip) const;
    // Prepares and starts jobs[slot] for jobPrefix.host, with the ports the knock found dead
    // there; null when the job could not start.
    jwin::CJThread::Handle StartJob(std::int32_t host, int slot, const std::string& jobPrefix,
                                    std::vector<DeadPort> deadPorts = {});
    [[nodiscard]] bool AnyJobRunning() const;
    void WaitForJobs();
    void StopAllJobs();
    std::int32_t Run() override;

    [[nodiscard]] const std::string& Prefix() const { return prefix; }
    [[nodiscard]] std::int32_t FirstHost() const { return firstHost; }
    [[nodiscard]] std::int32_t LastHost() const { return lastHost; }

    ScanResultCallback resultCallback;
    IScanWindow* callbackContext;
    std::atomic<bool> abortRequested{false};
    bool scanDefaultAddress = false;
    bool scanRange = false;

private:
    std::string prefix;
    std::int32_t firstHost = 0;
    std::int32_t lastHost = 255;
    std::vector<scan::SearchNetwork> networks_{{prefix, firstHost, lastHost}};
    std::array<CScanInfo, kSlotCount> jobs;
    JobProbes probes_;
    std::uint32_t finalWaitMs_;
    int maxJobs_ = kMaxJobs;
    bool discovery_ = true;
    // The knock's verdicts by address (host byte order), written by the controller's thread.
    mutable std::mutex verdictMutex_;
    std::unordered_map<std::uint32_t, KnockVerdict> verdicts_;
    // Held while a job is started and while a stop requests stop on every slot, so a job the
    // controller starts during a stop is either seen by the stop or not started at all.
    std::mutex startMutex_;
};
