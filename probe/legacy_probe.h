#pragma once

#include "probe/probe_config.h"
#include "scan/record/device_record.h"
#include "scan/record/probe_seam.h"

#include <string>

// Reads a legacy adapter's identity from its status page "net.shtml" and fills `record`.
// True when the page came from such an adapter; false without touching the record when the page
// is missing, is not an adapter's, or the job was asked to stop; then `why`, when given, says which.
bool ProbeLegacyAdapter(const ProbeTarget& job, DeviceRecord* record, const ProbeConfig& config = {},
                        ProbeFailure* why = nullptr);

// The five values of the status page as the probe cuts them (exposed for tests and fuzzing).
struct LegacyPageValues
{
    std::string hardware;
    std::string firmware;
    std::string mac;
    std::string manufacturer;
    std::string location;
};
[[nodiscard]] LegacyPageValues ReadLegacyPage(const std::string& page);
