#include "scan/scan_plan.h"

#include <algorithm>
#include <unordered_set>

std::string NetworkPrefix(const std::string& subnetText)
{
    const auto dot = subnetText.rfind('.');
    return (dot != std::string::npos && dot > 0) ? subnetText.substr(0, dot) : subnetText;
}

namespace scan {

SearchNetwork NetworkOf(const std::string& subnetText, std::int32_t firstHost, std::int32_t lastHost)
{
    return {NetworkPrefix(subnetText), firstHost, lastHost};
}

std::vector<PlannedAddress> PlanAddresses(const std::vector<SearchNetwork>& networks, bool scanRange,
                                          bool scanDefaultAddress)
{
    std::vector<PlannedAddress> plan;
    std::unordered_set<std::string> seen;
    auto add = [&](PlannedAddress address) {
        if (seen.insert(address.Text()).second)
            plan.push_back(std::move(address));
    };
    if (scanDefaultAddress)
        add({kDefaultPrefix, kDefaultHost, true});
    if (scanRange) {
        for (const SearchNetwork& network : networks) {
            const std::int32_t first = std::clamp(network.firstHost, 0, 254);
            const std::int32_t last = std::clamp(network.lastHost, 1, 254);
            for (std::int32_t host = first; host <= last; ++host)
                add({network.prefix, host, false});
        }
    }
    return plan;
}

} // namespace scan
