#pragma once

#include "scan/record/device_record.h"
#include "support/threads/stop_token.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the discovery knock, which runs before and beside the probes, found out about an address.
enum class KnockVerdict : std::uint8_t {
    NotKnocked, // no knock: the pass is off, the search ended first, or it could not be made here
    Answered,   // a port accepted a connection: the address is probed
    Refused,    // every port refused: no probe, the address has no adapter
    Silent      // no port answered within the connect time-out (some may have refused): no probe
};

// A port on which the knock got no connection, and why, in the words a probe that tried it would
// have used ("connection refused", "no answer within 3 s").
struct DeadPort
{
    std::uint16_t port = 0;
    ProbeFailure why;

    bool operator==(const DeadPort&) const = default;
};

// The verdict on one address, the ports on which a probe would not get a connection, and for an
// address that gets no probe the reason its not-found record carries.
struct KnockOutcome
{
    KnockVerdict verdict = KnockVerdict::NotKnocked;
    std::vector<DeadPort> deadPorts;
    ProbeFailure failure;

    // Whether the address gets a probe job at all.
    [[nodiscard]] bool Probed() const { return verdict != KnockVerdict::Refused && verdict != KnockVerdict::Silent; }
};

// What a probe job hands to an adapter probe: the address and the LX400 login copied from the
// window, the job's stop flag so a long probe can give up early, and the ports the knock found
// dead, so a probe that needs one of them can skip its request: it would fail the same way.
struct ProbeTarget
{
    std::string address;
    std::string user;
    std::string password;
    bool useHttps = true;
    jwin::StopToken stop;
    std::vector<DeadPort> deadPorts;

    // Why the knock found `port` dead; null when it may answer.
    [[nodiscard]] const ProbeFailure* DeadPortReason(std::uint16_t port) const
    {
        const auto dead =
            std::find_if(deadPorts.begin(), deadPorts.end(), [port](const DeadPort& d) { return d.port == port; });
        return dead == deadPorts.end() ? nullptr : &dead->why;
    }
};

// A probe fills the record and returns true when it recognised an adapter at the address. A probe
// that returns false may say why in the record's `failure`.
using ProbeFunction = std::function<bool(const ProbeTarget& target, DeviceRecord& record)>;

// Receives the outcome for addresses[index]; called at most once per address, from the thread
// that runs the knock.
using KnockReport = std::function<void(std::size_t index, KnockOutcome outcome)>;

// Knocks on the ports the probes will use (which depend on the LX400 scheme) of every address at
// once and reports each address as soon as it is decided. Returns when every address was
// reported, or soon after `stopRequested` turned true.
using KnockFunction = std::function<void(const std::vector<std::string>& addresses, bool useHttps,
                                         const std::function<bool()>& stopRequested, const KnockReport& report)>;

// What the engine looks at addresses with: the knock of the discovery pass, then the two probes a
// job runs, the legacy one first, the JSON-API one only when that failed. The scan controller
// receives them at construction and passes the probes to every job, so the engine runs with the
// real network in the program and with controlled stand-ins in tests. Without a knock, every
// address is probed.
struct JobProbes
{
    ProbeFunction legacy;
    ProbeFunction api;
    KnockFunction knock;
};
