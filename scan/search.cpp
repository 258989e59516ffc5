#include "scan/search.h"

#include "scan/scan_lock.h"

#include <utility>

namespace scan {

std::size_t AddressCount(const SearchPlan& plan)
{
    return PlanAddresses(plan.networks, plan.scanRange, plan.scanDefaultAddress).size();
}

void Search::PlanLogin::Set(const SearchPlan& plan)
{
    std::lock_guard lock(mutex_);
    user_ = plan.user;
    password_ = plan.password;
    useHttps_ = plan.useHttps;
}

std::string Search::PlanLogin::CurrentUser() const
{
    std::lock_guard lock(mutex_);
    return user_;
}

std::string Search::PlanLogin::CurrentPassword() const
{
    std::lock_guard lock(mutex_);
    return password_;
}

bool Search::PlanLogin::CurrentUseHttps() const
{
    std::lock_guard lock(mutex_);
    return useHttps_;
}

Search::Search(SearchSink sink, JobProbes probes, std::uint32_t finalWaitMs)
    : sink_(std::move(sink)), login_(this), controller_(&Search::Deliver, &login_, std::move(probes), finalWaitMs)
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
    Search* search = static_cast<PlanLogin*>(static_cast<IScanWindow*>(context))->Owner();
    if (record.endOfSearch && search->stopping_.load())
        return 1;
    if (search->sink_)
        search->sink_(record);
    return 1;
}

bool Search::Start(const SearchPlan& plan)
{
    login_.Set(plan);
    controller_.scanDefaultAddress = plan.scanDefaultAddress;
    controller_.scanRange = plan.scanRange && !plan.networks.empty();
    controller_.SetNetworks(plan.networks);
    controller_.SetMaxJobs(plan.jobs);
    controller_.SetDiscovery(plan.discovery);
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
