#include "scan/scan_info.h"

#include "scan/scan_lock.h"
#include "support/text/ipv4.h"
#include "support/trace/xdbg.h"

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
    record.ip = address;
    // Only a dotted IPv4 literal is probed: anything else (a hand-edited subnet) would reach the
    // resolver as a host name. Such a job still delivers its empty record for the progress count.
    if (!IsDottedQuad(address)) {
        XDbgTrace("Not an IPv4 address, not probed: %s\n", address.c_str());
        if (IsRunning())
            resultCallback(record, callbackContext);
        return 0;
    }
    const ProbeTarget target{address, user, password, useHttps, Token(), deadPorts};
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
