#include "probe/job_probes.h"

#include "probe/api_probe.h"
#include "probe/legacy_probe.h"

JobProbes MakeJobProbes(const ProbeConfig& config)
{
    JobProbes probes;
    probes.legacy = [config](const ProbeTarget& target, DeviceRecord& record) {
        return ProbeLegacyAdapter(target, &record, config);
    };
    probes.api = [config](const ProbeTarget& target, DeviceRecord& record) {
        return ProbeApiAdapter(target, &record, config);
    };
    return probes;
}
