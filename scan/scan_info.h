#pragma once

#include "scan/record/device_record.h"
#include "scan/record/probe_seam.h"
#include "support/text/ipv4.h"
#include "support/threads/thread.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr std::int32_t kScanInvalidArg = static_cast<std::int32_t>(0x80070057u);

// One probe job: probes `address` on its own thread and hands one record to the callback,
// unless it was asked to stop. The controller sets every member before Start; the job reads them
// only afterwards.
class CScanInfo : public jwin::CJThreadEx
{
public:
    CScanInfo() = default;
    ~CScanInfo() override;

    std::int32_t Run() override;

    Ipv4Address address;
    ScanResultCallback resultCallback = nullptr;
    void* callbackContext = nullptr;
    std::string user;
    std::string password;
    bool useHttps = true;
    // Ports the discovery knock found dead at this address, handed to the probes.
    std::vector<DeadPort> deadPorts;
    JobProbes probes;
};
