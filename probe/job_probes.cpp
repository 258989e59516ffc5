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
        const std::uint16_t port = family.port(useHttps);
        const auto dead = std::find_if(outcome.deadPorts.begin(), outcome.deadPorts.end(),
                                       [port](const DeadPort& d) { return d.port == port; });
        failures.push_back({family.name, port, dead != outcome.deadPorts.end() ? dead->why : ProbeFailure{}});
    }
    return CombineProbeFailures(failures);
}

} // namespace

const std::vector<ProbeFamily>& AdapterFamilies()
{
    static const std::vector<ProbeFamily> families{
        {"", [](bool) -> std::uint16_t { return 80; }, FamilyProbe(ProbeLegacyAdapter)},
        {"LX400", [](bool https) -> std::uint16_t { return https ? 443 : 80; }, FamilyProbe(ProbeApiAdapter)},
    };
    return families;
}

std::vector<std::uint16_t> FamilyPorts(const std::vector<ProbeFamily>& families, bool useHttps)
{
    std::vector<std::uint16_t> ports;
    for (const ProbeFamily& family : families) {
        const std::uint16_t port = family.port(useHttps);
        if (std::find(ports.begin(), ports.end(), port) == ports.end())
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
                                   UpdateCheckContext{config.updateServer, target.stop, config.vendorAnswers.get()});
    };
    probes.knock = [families = probes.families](const std::vector<Ipv4Address>& addresses, bool useHttps,
                                                const std::function<bool()>& stopRequested, const KnockReport& report) {
        std::vector<KnockPort> ports;
        for (const std::uint16_t port : FamilyPorts(families, useHttps))
            ports.push_back({port});
        KnockAddresses(addresses, ports, stopRequested, [&](std::size_t index, KnockOutcome outcome) {
            outcome.failure = RuledOutFailure(families, outcome, useHttps);
            report(index, std::move(outcome));
        });
    };
    return probes;
}

SearchProbes MakeSearchProbes(ProbeConfig config, std::shared_ptr<const VendorCache> cache)
{
    return [config = std::move(config), cache = std::move(cache)] {
        ProbeConfig search = config;
        search.vendorAnswers = std::make_shared<VendorAnswers>(cache);
        return MakeJobProbes(search);
    };
}
