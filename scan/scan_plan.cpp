#include "scan/scan_plan.h"

namespace scan {

std::vector<PlannedAddress> PlanAddresses(const NetworkList& networks, bool scanRange, bool scanDefaultAddress)
{
    std::vector<PlannedAddress> plan;
    const bool factory = scanDefaultAddress && !networks.Excludes(kFactoryAddress);
    if (factory)
        plan.push_back({kFactoryAddress, true});
    if (scanRange) {
        for (const Ipv4Address address : networks.Addresses()) {
            if (!(factory && address == kFactoryAddress))
                plan.push_back({address, false});
        }
    }
    return plan;
}

} // namespace scan
