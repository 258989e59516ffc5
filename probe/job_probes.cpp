#include "probe/job_probes.h"

#include "probe/address_knock.h"
#include "probe/api_probe.h"
#include "probe/legacy_probe.h"

JobProbes MakeJobProbes(const ProbeConfig& config)
{
    JobProbes probes;
    // A probe whose port the knock found dead is skipped: its connect would fail just the same.
    probes.legacy = [config](const ProbeTarget& target, DeviceRecord& record) {
        return target.PortMayAnswer(kLegacyPort) && ProbeLegacyAdapter(target, &record, config);
    };
    probes.api = [config](const ProbeTarget& target, DeviceRecord& record) {
        return target.PortMayAnswer(ApiPort(target.useHttps)) && ProbeApiAdapter(target, &record, config);
    };
    probes.knock = [](const std::vector<std::string>& addresses, bool useHttps,
                      const std::function<bool()>& stopRequested, const KnockReport& report) {
        KnockAddresses(addresses, KnockedPorts(useHttps), stopRequested, report);
    };
    return probes;
}

std::vector<KnockPort> KnockedPorts(bool useHttps)
{
    std::vector<KnockPort> ports{{kLegacyPort, "http"}};
    if (useHttps)
        ports.push_back({ApiPort(true), "https"});
    return ports;
}
