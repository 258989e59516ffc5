#include "scan/scan_thread.h"

#include "scan/discovery_pass.h"
#include "support/trace/xdbg.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <vector>

CScanThread::CScanThread(ScanResultCallback callback, void* context, std::uint32_t finalWaitMs)
    : resultCallback(callback), callbackContext(context), finalWaitMs_(finalWaitMs)
{}

CScanThread::~CScanThread()
{
    Stop();
}

void CScanThread::SetPlan(Plan plan)
{
    plan.maxJobs = std::clamp(plan.maxJobs, 1, kSlotCount - 1);
    std::lock_guard lock(planMutex_);
    next_ = std::move(plan);
}

jwin::CJThread::Handle CScanThread::StartJob(const scan::PlannedAddress& address, int slot,
                                             std::vector<DeadPort> deadPorts)
{
    if (slot < 0 || slot >= kSlotCount)
        return nullptr;
    CScanInfo& job = jobs[static_cast<std::size_t>(slot)];
    // A job of an earlier search still in this slot is stopped and delivers nothing. This wait
    // happens outside startMutex_: that job may be sending its record to the window's thread,
    // which must not be blocked on the mutex meanwhile.
    job.Stop();
    std::lock_guard lock(startMutex_);
    if (abortRequested.load())
        return nullptr;
    job.address = address.address;
    job.resultCallback = resultCallback;
    job.callbackContext = callbackContext;
    job.user = current_.login.user;
    job.password = current_.login.password;
    job.useHttps = current_.login.useHttps;
    job.probes = current_.probes;
    job.deadPorts = std::move(deadPorts);
    job.Start(10000, true);
    return job.ThreadHandle();
}

bool CScanThread::AnyJobRunning() const
{
    return std::any_of(jobs.begin(), jobs.end(), [](const CScanInfo& job) { return job.IsRunning(); });
}

void CScanThread::WaitForJobs()
{
    // Waits on the ends of the running jobs themselves, so the wait is over the moment the last
    // one ends.
    const auto start = std::chrono::steady_clock::now();
    const auto limit = std::chrono::milliseconds(finalWaitMs_);
    for (;;) {
        std::vector<Handle> running;
        for (const CScanInfo& job : jobs) {
            if (!job.IsRunning())
                continue;
            if (Handle handle = job.ThreadHandle())
                running.push_back(std::move(handle));
        }
        if (running.empty())
            return;
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed >= limit) {
            XDbgTrace("timeout...\n");
            return;
        }
        std::vector<jwin::Waitable*> objects;
        objects.reserve(running.size());
        for (const Handle& handle : running)
            objects.push_back(handle.get());
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - elapsed);
        jwin::WaitAny(objects, static_cast<std::uint32_t>(left.count()), false);
    }
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
    {
        std::lock_guard lock(planMutex_);
        current_ = next_;
    }

    const std::vector<scan::PlannedAddress>& plan = current_.addresses;
    // Within one /24 the window's slot rule holds: host h in slot h, the factory address in a slot
    // of its own. Several /24 networks repeat host numbers, so there a job takes the slot of the
    // wait-set entry it runs in: two running jobs never share a slot (reusing the slot of a
    // running job would stop it, and its record would be lost).
    std::optional<std::uint32_t> block;
    bool slotPerHost = true;
    for (const scan::PlannedAddress& planned : plan) {
        if (planned.defaultAddress)
            continue;
        if (block && *block != planned.address.Value() >> 8) {
            slotPerHost = false;
            break;
        }
        block = planned.address.Value() >> 8;
    }
    const std::size_t total = plan.size();
    const std::size_t width = std::min<std::size_t>(static_cast<std::size_t>(current_.maxJobs), total);

    // The pass knocks on every address at once; an address becomes ready for a job when the knock
    // let it through. Without the pass every address is ready from the start.
    std::optional<scan::DiscoveryPass> pass;
    std::vector<bool> reported(total, false);
    std::vector<std::vector<DeadPort>> deadPorts(total); // by plan position, until its job starts
    std::set<std::size_t> ready; // plan positions, started lowest first: the default address first
    if (current_.discovery && current_.probes.knock && total > 0) {
        std::vector<Ipv4Address> addresses;
        addresses.reserve(total);
        for (const scan::PlannedAddress& planned : plan)
            addresses.push_back(planned.address);
        pass.emplace(current_.probes.knock, std::move(addresses), current_.login.useHttps,
                     [this] { return abortRequested.load() || !IsRunning(); });
    } else {
        for (std::size_t i = 0; i < total; ++i)
            ready.insert(i);
    }

    std::vector<Handle> waitSet(width);
    std::vector<std::pair<std::size_t, ProbeFailure>> ruledOut; // with the reason their records carry
    std::size_t settled = 0; // addresses started (or that could not start) and ruled out

    auto collect = [&] {
        if (!pass)
            return;
        const bool finished = pass->Finished();
        auto outcomes = pass->Take();
        for (auto& [index, outcome] : outcomes) {
            if (index >= total || reported[index])
                continue;
            reported[index] = true;
            if (outcome.Probed()) {
                deadPorts[index] = std::move(outcome.deadPorts);
                ready.insert(index);
            } else {
                ruledOut.emplace_back(index, std::move(outcome.failure));
            }
        }
        // A knock that ended without judging an address leaves it to be probed as without one.
        if (finished) {
            for (std::size_t i = 0; i < total; ++i) {
                if (!reported[i]) {
                    reported[i] = true;
                    ready.insert(i);
                }
            }
            pass.reset();
        }
    };
    // Fills every free wait-set entry with a job for the next ready address. A job that cannot
    // start counts as ended, so the entry goes on to the following address.
    auto startReady = [&] {
        for (std::size_t entry = 0; entry < waitSet.size(); ++entry) {
            while (!waitSet[entry] && !ready.empty() && !abortRequested.load()) {
                const std::size_t index = *ready.begin();
                ready.erase(ready.begin());
                ++settled;
                const scan::PlannedAddress& planned = plan[index];
                const int slot = !slotPerHost             ? static_cast<int>(entry)
                                 : planned.defaultAddress ? kDefaultAddressSlot
                                                          : planned.address.Host();
                waitSet[entry] = StartJob(planned, slot, std::move(deadPorts[index]));
            }
        }
    };
    // The record a probe job would have delivered for an address without any answer.
    auto deliverRuledOut = [&] {
        for (auto& [index, why] : ruledOut) {
            if (abortRequested.load() || !IsRunning())
                return;
            DeviceRecord record;
            record.ip = plan[index].address.Text();
            record.failure = std::move(why);
            ++settled;
            resultCallback(record, callbackContext);
        }
        ruledOut.clear();
    };
    collect();
    startReady();
    if (!IsRunning())
        return 0;

    for (;;) {
        if (abortRequested.load())
            break;
        deliverRuledOut();
        if (abortRequested.load() || !IsRunning())
            break;
        if (settled >= total) {
            pass.reset();
            WaitForJobs();
            XDbgTrace("-------- READY scanning ADAPTER ---------\n");
            DeviceRecord end;
            end.endOfSearch = true;
            resultCallback(end, callbackContext);
            break;
        }
        std::vector<jwin::Waitable*> objects;
        objects.reserve(waitSet.size() + 1);
        for (const Handle& handle : waitSet)
            objects.push_back(handle.get());
        objects.push_back(pass ? pass->Arrived() : nullptr);
        const int r = jwin::WaitAny(objects, jwin::kInfinite, true);
        if (r >= 0 && r < static_cast<int>(waitSet.size())) {
            if (abortRequested.load())
                break;
            waitSet[static_cast<std::size_t>(r)] = nullptr; // that job ended
        } else if (r == static_cast<int>(objects.size())) {
            jwin::DispatchPending();
        }
        collect();
        startReady();
        if (!IsRunning())
            break;
    }
    return 0;
}
