#include "probe/job_probes.h"

#include "probe/address_knock.h"
#include "probe/api_probe.h"
#include "probe/legacy_probe.h"

#include <utility>

namespace {

// Runs one probe on its port, unless the knock found that port dead: its connect would fail just
// the same, and the knock's reason stands in for the probe's. A failed probe leaves its reason in
// the record; the job joins those of both probes.
template <typename Probe>
bool ProbeOnPort(const ProbeTarget& target, DeviceRecord& record, std::uint16_t port, Probe probe)
{
    ProbeFailure why;
    bool found = false;
    if (const ProbeFailure* dead = target.DeadPortReason(port))
        why = *dead;
    else
        found = probe(&why);
    if (!found)
        record.failure = std::move(why);
    return found;
}

// The reason an address that gets no probe carries: what both probes would have met on their ports.
ProbeFailure RuledOutFailure(const KnockOutcome& outcome, bool useHttps)
{
    if (outcome.Probed())
        return {};
    auto reasonOn = [&](std::uint16_t port) {
        for (const DeadPort& dead : outcome.deadPorts) {
            if (dead.port == port)
                return dead.why;
        }
        return ProbeFailure{};
    };
    const std::uint16_t apiPort = ApiPort(useHttps);
    return CombineProbeFailures(reasonOn(kLegacyPort), reasonOn(apiPort), apiPort);
}

} // namespace

JobProbes MakeJobProbes(const ProbeConfig& config)
{
    JobProbes probes;
    probes.legacy = [config](const ProbeTarget& target, DeviceRecord& record) {
        return ProbeOnPort(target, record, kLegacyPort,
                           [&](ProbeFailure* why) { return ProbeLegacyAdapter(target, &record, config, why); });
    };
    probes.api = [config](const ProbeTarget& target, DeviceRecord& record) {
        return ProbeOnPort(target, record, ApiPort(target.useHttps),
                           [&](ProbeFailure* why) { return ProbeApiAdapter(target, &record, config, why); });
    };
    probes.knock = [](const std::vector<std::string>& addresses, bool useHttps,
                      const std::function<bool()>& stopRequested, const KnockReport& report) {
        KnockAddresses(addresses, KnockedPorts(useHttps), stopRequested, [&](std::size_t index, KnockOutcome outcome) {
            outcome.failure = RuledOutFailure(outcome, useHttps);
            report(index, std::move(outcome));
        });
    };
    return probes;
}

std::vector<KnockPort> KnockedPorts(bool useHttps)
{
    std::vector<KnockPort> ports{{kLegacyPort}};
    if (useHttps)
        ports.push_back({ApiPort(true)});
    return ports;
}
