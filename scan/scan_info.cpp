#include "scan/scan_info.h"

#include "scan/scan_lock.h"

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
    const ProbeTarget target{address, user, password, useHttps, Token(), deadPorts};
    const bool legacyFound = probes.legacy && probes.legacy(target, record);
    if (!legacyFound && probes.api)
        probes.api(target, record);
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
