#include "scan/scan_thread.h"

#include "support/trace/xdbg.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

CScanThread::CScanThread(ScanResultCallback callback, IScanWindow* window, JobProbes probes, std::uint32_t finalWaitMs,
                         std::uint32_t pollMs)
    : resultCallback(callback), callbackContext(window), probes_(std::move(probes)), finalWaitMs_(finalWaitMs),
      pollMs_(pollMs)
{}

CScanThread::~CScanThread()
{
    Stop();
}

void CScanThread::SetPlan(const std::string& startAddress, std::int32_t first, std::int32_t last)
{
    const auto dot = startAddress.rfind('.');
    prefix = (dot != std::string::npos && dot > 0) ? startAddress.substr(0, dot) : startAddress;
    firstHost = first;
    lastHost = last;
}

jwin::CJThread::Handle CScanThread::StartJob(std::int32_t host, int slot, const std::string& jobPrefix)
{
    if (slot < 0 || slot >= kSlotCount)
        return nullptr;
    std::string address = jobPrefix + "." + std::to_string(host);
    // The address buffer of the job holds 127 characters; a longer one is refused, not cut.
    if (address.size() > kMaxAddressLength)
        return nullptr;
    CScanInfo& job = jobs[static_cast<std::size_t>(slot)];
    // A job of an earlier search still in this slot is stopped and delivers nothing. This wait
    // happens outside startMutex_: that job may be sending its record to the window's thread,
    // which must not be blocked on the mutex meanwhile.
    job.Stop();
    std::lock_guard lock(startMutex_);
    if (abortRequested.load())
        return nullptr;
    job.address = std::move(address);
    job.resultCallback = resultCallback;
    job.callbackContext = callbackContext;
    job.probes = probes_;
    if (callbackContext != nullptr) {
        job.user = callbackContext->CurrentUser();
        job.password = callbackContext->CurrentPassword();
        job.useHttps = callbackContext->CurrentUseHttps();
    }
    job.Start(10000, true);
    return job.ThreadHandle();
}

bool CScanThread::AnyJobRunning() const
{
    return std::any_of(jobs.begin(), jobs.end(), [](const CScanInfo& job) { return job.IsRunning(); });
}

void CScanThread::WaitForJobs()
{
    const auto start = std::chrono::steady_clock::now();
    while (AnyJobRunning()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs_));
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(finalWaitMs_)) {
            XDbgTrace("timeout...\n");
            return;
        }
    }
}

void CScanThread::SetMaxJobs(int count)
{
    maxJobs_ = std::clamp(count, 1, kSlotCount - 1);
}

void CScanThread::StopAllJobs()
{
    {
        std::lock_guard lock(startMutex_);
        for (CScanInfo& job : jobs)
            job.RequestStop();
    }
    for (CScanInfo& job : jobs)
        job.Stop(jwin::kNoTimeLimit, true);
}

std::int32_t CScanThread::Run()
{
    abortRequested.store(false);
    if (resultCallback == nullptr)
        return kScanInvalidArg;

    // Host numbers may come from a hand-edited settings file; keep them inside the slot array.
    const std::int32_t first = std::clamp(firstHost, 0, 254);
    const std::int32_t last = std::clamp(lastHost, 1, 254);
    const std::int32_t rangeCount = (scanRange && last >= first) ? last - first + 1 : 0;
    const std::int32_t total = rangeCount + (scanDefaultAddress ? 1 : 0);
    const std::int32_t width = std::min(maxJobs_, total);
    const std::string rangePrefix = prefix;

    std::vector<Handle> waitSet(static_cast<std::size_t>(width));
    std::int32_t launched = 0;
    std::int32_t next = first;
    bool defaultPending = scanDefaultAddress;

    // Fills a wait-set entry with the next address of the plan. A job that cannot start counts
    // as ended, so the entry goes on to the following address; the entry is empty when the plan
    // has no address left.
    auto startNext = [&](std::size_t entry) {
        waitSet[entry] = nullptr;
        while (!waitSet[entry] && launched < total && !abortRequested.load()) {
            ++launched;
            if (defaultPending) {
                defaultPending = false;
                waitSet[entry] = StartJob(10, kDefaultAddressSlot, "10.10.10");
            } else {
                const std::int32_t host = next++;
                waitSet[entry] = StartJob(host, host, rangePrefix);
            }
        }
    };

    for (std::size_t i = 0; i < waitSet.size(); ++i)
        startNext(i);
    if (!IsRunning())
        return 0;

    for (;;) {
        if (abortRequested.load())
            break;
        if (launched >= total) {
            WaitForJobs();
            XDbgTrace("-------- READY scanning ADAPTER ---------\n");
            DeviceRecord end;
            end.endOfSearch = true;
            resultCallback(end, callbackContext);
            break;
        }
        std::vector<platform::Waitable*> objects;
        objects.reserve(waitSet.size());
        for (const Handle& handle : waitSet)
            objects.push_back(handle.get());
        const int r = platform::WaitAny(objects, platform::kInfinite, true);
        if (r >= 0 && r < static_cast<int>(objects.size())) {
            if (abortRequested.load())
                break;
            startNext(static_cast<std::size_t>(r));
        } else if (r == static_cast<int>(objects.size())) {
            platform::DispatchPending();
        }
        if (!IsRunning())
            break;
    }
    return 0;
}
