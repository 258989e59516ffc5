#include "probe/job_probes.h"

#include "firmware/update_check.h"
#include "probe/address_knock.h"
#include "probe/api_probe.h"
#include "probe/legacy_probe.h"

#include <algorithm>
#include <utility>

namespace {

// A probe as a family runs it: the reason of a failed probe goes into the record.
template <typename Probe> ProbeFunction FamilyProbe(Probe probe)
{
    return [probe](const ProbeTarget& target, DeviceRecord& record) {
        ProbeResult result;
        ProbeFailure why;
        result.recognised = probe(target, &record, &result.compactVersion, &why);
        if (!result.recognised)
            record.failure = std::move(why);
        return result;
    };
}

// The reason an address that gets no probe carries: what every family would have met on its port.
ProbeFailure RuledOutFailure(const std::vector<ProbeFamily>& families, const KnockOutcome& outcome, bool useHttps)
{
    if (outcome.Probed())
        return {};
    std::vector<FamilyFailure> failures;
    for (const ProbeFamily& family : families) {
        const ProbePort port = family.port(useHttps);
        const auto dead = std::find_if(outcome.deadPorts.begin(), outcome.deadPorts.end(),
                                       [&](const DeadPort& d) { return d.port == port.port; });
        failures.push_back({family.name, port.port, dead != outcome.deadPorts.end() ? dead->why : ProbeFailure{}});
    }
    return CombineProbeFailures(failures);
}

} // namespace

const std::vector<ProbeFamily>& AdapterFamilies()
{
    static const std::vector<ProbeFamily> families{
        {"",
         [](bool) {
             return ProbePort{80, "http"};
         },
         FamilyProbe(ProbeLegacyAdapter)},
        {"LX400",
         [](bool https) {
             return https ? ProbePort{443, "https"} : ProbePort{80, "http"};
         },
         FamilyProbe(ProbeApiAdapter)},
    };
    return families;
}

std::vector<ProbePort> FamilyPorts(const std::vector<ProbeFamily>& families, bool useHttps)
{
    std::vector<ProbePort> ports;
    for (const ProbeFamily& family : families) {
        const ProbePort port = family.port(useHttps);
        if (std::none_of(ports.begin(), ports.end(), [&](const ProbePort& p) { return p.port == port.port; }))
            ports.push_back(port);
    }
    return ports;
}

JobProbes MakeJobProbes(const ProbeConfig& config)
{
    JobProbes probes;
    probes.families = AdapterFamilies();
    probes.updateCheck = [config](const ProbeTarget& target, DeviceRecord& record, const std::string& compactVersion) {
        return CheckFirmwareUpdate(record.model, &record, compactVersion, record.oem,
                                   UpdateCheckContext{config.updateServer, target.stop});
    };
    probes.knock = [families = probes.families](const std::vector<Ipv4Address>& addresses, bool useHttps,
                                                const std::function<bool()>& stopRequested, const KnockReport& report) {
        KnockAddresses(addresses, FamilyPorts(families, useHttps), stopRequested,
                       [&](std::size_t index, KnockOutcome outcome) {
                           outcome.failure = RuledOutFailure(families, outcome, useHttps);
                           report(index, std::move(outcome));
                       });
    };
    return probes;
}
