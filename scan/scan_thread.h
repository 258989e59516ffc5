#pragma once

#include "scan/scan_context.h"
#include "scan/scan_info.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// Runs one search: starts a probe job per address, at most ten at once, and sends an
// end-of-search record when every address was started and the final wait returned.
class CScanThread : public jwin::CJThreadEx
{
public:
    static constexpr int kSlotCount = 256;
    // The default address has a slot of its own; host numbers stay within 0..254.
    static constexpr int kDefaultAddressSlot = 255;
    static constexpr int kMaxJobs = 10;
    static constexpr std::size_t kMaxAddressLength = 127;

    // The window is the callback's context (passed as IScanWindow*), and the source of the login
    // copied into every job; it may be null. The final wait and its poll interval are the
    // program's values unless a test shortens them.
    CScanThread(ScanResultCallback callback, IScanWindow* window, JobProbes probes, std::uint32_t finalWaitMs = 120000,
                std::uint32_t pollMs = 250);
    ~CScanThread() override;

    void SetPlan(const std::string& startAddress, std::int32_t first, std::int32_t last);
    // How many jobs run at once; the window keeps ten, the headless front end may ask for
    // 1 to 255. Takes effect at the next search.
    void SetMaxJobs(int count);
    [[nodiscard]] int MaxJobs() const { return maxJobs_; }
    // Prepares and starts jobs[slot] for jobPrefix.host; null when the job could not start.
    jwin::CJThread::Handle StartJob(std::int32_t host, int slot, const std::string& jobPrefix);
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
    std::array<CScanInfo, kSlotCount> jobs;
    JobProbes probes_;
    std::uint32_t finalWaitMs_;
    std::uint32_t pollMs_;
    int maxJobs_ = kMaxJobs;
    // Held while a job is started and while a stop requests stop on every slot, so a job the
    // controller starts during a stop is either seen by the stop or not started at all.
    std::mutex startMutex_;
};
