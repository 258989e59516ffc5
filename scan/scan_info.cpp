#include "scan/scan_info.h"

#include "scan/scan_lock.h"

#include <utility>

CScanInfo::~CScanInfo()
{
    Stop();
}

std::int32_t CScanInfo::Run()
{
    if (resultCallback == nullptr)
        return kScanInvalidArg;
    DeviceRecord record;
    record.ip = address.Text();
    // Each family may leave its reason in the record when it fails; the record carries one reason
    // for all of them.
    std::vector<FamilyFailure> failures;
    for (const ProbeFamily& family : probes.families) {
        const std::uint16_t port = family.port ? family.port(useHttps) : 80;
        const ProbeTarget target{address, port, user, password, useHttps, Token(), deadPorts};
        ProbeResult result;
        // A port the knock found dead would fail the probe's connect just the same; the knock's
        // reason stands in for the probe's.
        if (const ProbeFailure* dead = target.DeadPortReason(port))
            record.failure = *dead;
        else if (family.probe)
            result = family.probe(target, record);
        if (result.recognised) {
            if (probes.updateCheck)
                record.updateText = probes.updateCheck(target, record, result.compactVersion);
            break;
        }
        failures.push_back({family.name, port, std::exchange(record.failure, ProbeFailure{})});
        if (record.found)
            break;
    }
    record.failure = record.found ? ProbeFailure{} : CombineProbeFailures(failures);
    if (IsRunning())
        resultCallback(record, callbackContext);
    return 0;
}

namespace scan {

jwin::CJCritSect& ScanLock()
{
    static jwin::CJCritSect lock;
    return lock;
}

} // namespace scan
