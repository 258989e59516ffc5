#pragma once

#include "scan/device_record.h"
#include "support/threads/stop_token.h"

#include <functional>
#include <string>

// What a probe job hands to an adapter probe: the address and the LX400 login copied from the
// window, and the job's stop flag so a long probe can give up early.
struct ProbeTarget
{
    std::string address;
    std::string user;
    std::string password;
    bool useHttps = true;
    jwin::StopToken stop;
};

// A probe fills the record and returns true when it recognised an adapter at the address. A probe
// that returns false may say why in the record's `failure`.
using ProbeFunction = std::function<bool(const ProbeTarget& target, DeviceRecord& record)>;

// The two probes a job runs: the legacy one first, the JSON-API one only when that failed.
// The scan controller receives them at construction and passes them to every job, so the
// engine runs with the real probes in the program and with controlled ones in tests.
struct JobProbes
{
    ProbeFunction legacy;
    ProbeFunction api;
};
