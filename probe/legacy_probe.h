#pragma once

#include "scan/record/device_record.h"
#include "scan/record/probe_seam.h"

#include <string>

// Reads a legacy adapter's identity from its status page "net.shtml" on the target's port and
// fills `record`. True when the page came from such an adapter; then `compactVersion`, when given,
// receives the firmware version the update check asks the vendor about. False without touching
// the record when the page is missing, is not an adapter's, or the job was asked to stop; then
// `why`, when given, says which.
bool ProbeLegacyAdapter(const ProbeTarget& job, DeviceRecord* record, std::string* compactVersion = nullptr,
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
