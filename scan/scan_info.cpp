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
    const ProbeTarget target{address, 0, user, password, useHttps, Token(), deadPorts};
    const bool legacyFound = probes.legacy && probes.legacy(target, record);
    // Each probe may leave its reason in the record when it fails; the record carries one
    // reason for both.
    const ProbeFailure legacyFailure = std::exchange(record.failure, ProbeFailure{});
    if (!legacyFound && probes.api)
        probes.api(target, record);
    if (record.found)
        record.failure = {};
    else
        record.failure = CombineProbeFailures(legacyFailure, record.failure, useHttps ? 443 : 80);
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
