#include "probe/job_probes.h"

#include "probe/api_probe.h"
#include "probe/legacy_probe.h"

#include <utility>

JobProbes MakeJobProbes(const ProbeConfig& config)
{
    JobProbes probes;
    // A failed probe leaves its reason in the record; the job joins the two.
    probes.legacy = [config](const ProbeTarget& target, DeviceRecord& record) {
        ProbeFailure why;
        const bool found = ProbeLegacyAdapter(target, &record, config, &why);
        if (!found)
            record.failure = std::move(why);
        return found;
    };
    probes.api = [config](const ProbeTarget& target, DeviceRecord& record) {
        ProbeFailure why;
        const bool found = ProbeApiAdapter(target, &record, config, &why);
        if (!found)
            record.failure = std::move(why);
        return found;
    };
    return probes;
}
