#include "scan/discovery_pass.h"

#include <system_error>

namespace scan {

DiscoveryPass::DiscoveryPass(const KnockFunction& knock, std::vector<Ipv4Address> addresses, bool useHttps,
                             std::function<bool()> stopRequested)
    : addresses_(std::move(addresses)), stopRequested_(std::move(stopRequested))
{
    // Without a thread for it the search goes on without the pass: every address is probed.
    try {
        thread_ = std::thread([this, knock, useHttps] {
            const auto stop = [this] { return cancel_.load() || (stopRequested_ && stopRequested_()); };
            knock(addresses_, useHttps, stop, [this](std::size_t index, KnockOutcome outcome) {
                {
                    std::lock_guard lock(mutex_);
                    outcomes_.emplace_back(index, std::move(outcome));
                }
                arrived_.Set();
            });
            finished_.store(true);
            arrived_.Set();
        });
    } catch (const std::system_error&) {
        finished_.store(true);
    }
}

DiscoveryPass::~DiscoveryPass()
{
    cancel_.store(true);
    if (thread_.joinable())
        thread_.join();
}

std::vector<std::pair<std::size_t, KnockOutcome>> DiscoveryPass::Take()
{
    std::lock_guard lock(mutex_);
    return std::exchange(outcomes_, {});
}

} // namespace scan
