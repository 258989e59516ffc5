#include "scan/search.h"

#include "scan/scan_lock.h"

#include <utility>

namespace scan {

std::size_t AddressCount(const SearchPlan& plan)
{
    return PlanAddresses(plan.networks, plan.scanRange, plan.scanDefaultAddress).size();
}

Search::Search(SearchSink sink, std::uint32_t finalWaitMs)
    : sink_(std::move(sink)), controller_(&Search::Deliver, this, finalWaitMs)
{}

Search::~Search()
{
    Stop();
}

int Search::Deliver(const DeviceRecord& record, void* context)
{
    // Deliveries one after another, so that what the sink reads and changes belongs together.
    jwin::CJSmartLock lock(&ScanLock());
    if (context == nullptr)
        return 0;
    auto* search = static_cast<Search*>(context);
    if (record.endOfSearch && search->stopping_.load())
        return 1;
    if (search->sink_)
        search->sink_(record);
    return 1;
}

bool Search::Start(const SearchPlan& plan)
{
    CScanThread::Plan job;
    job.addresses = PlanAddresses(plan.networks, plan.scanRange, plan.scanDefaultAddress);
    job.login = plan.login;
    job.probes = plan.probes;
    job.maxJobs = plan.jobs;
    job.discovery = plan.discovery;
    controller_.SetPlan(std::move(job));
    stopping_.store(false);
    return controller_.Start(10000, true);
}

void Search::Stop()
{
    // The order matters: no job may start once the stop began, every job is stopped before the
    // final wait looks at them, and the controller last, which then returns without an end.
    stopping_.store(true);
    controller_.abortRequested = true;
    controller_.StopAllJobs();
    controller_.WaitForJobs();
    controller_.Stop(jwin::kNoTimeLimit, true);
}

bool Search::Running() const
{
    return controller_.IsRunning();
}

} // namespace scan
