#pragma once

#include "scan/record/device_record.h"
#include "support/text/ipv4.h"
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

// What a probe job hands to an adapter probe: the address and the port the probe speaks on, the
// LX400 login of the search, the job's stop flag so a long probe can give up early, and the ports
// the knock found dead, so a probe that needs one of them can skip its request: it would fail the
// same way.
struct ProbeTarget
{
    Ipv4Address address;
    std::uint16_t port = 80;
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

// What a probe family made of an address. A family that recognised an adapter has filled the
// record and says which firmware the vendor's server is to be asked about (the compact version,
// "426" for 4.26). One that did not may say why in the record's `failure`, or mark the record as
// found by a finding of its own (an LX400 that refused the login).
struct ProbeResult
{
    bool recognised = false;
    std::string compactVersion;
};

using ProbeFunction = std::function<ProbeResult(const ProbeTarget& target, DeviceRecord& record)>;

// One adapter family: how the reasons name it (empty for the plain status page on port 80), the
// port it speaks on, which may follow the search's HTTPS setting, and its probe.
struct ProbeFamily
{
    std::string name;
    std::function<std::uint16_t(bool useHttps)> port;
    ProbeFunction probe;
};

// Asks the vendor's server about the adapter a family recognised and returns the text of the
// Update column; sets the record's updateState, deviceId and latestFirmware. `target` is the
// job's (its stop flag cuts the request short).
using UpdateCheckFunction =
    std::function<std::string(const ProbeTarget& target, DeviceRecord& record, const std::string& compactVersion)>;

// Receives the outcome for addresses[index]; called at most once per address, from the thread
// that runs the knock.
using KnockReport = std::function<void(std::size_t index, KnockOutcome outcome)>;

// Knocks on the ports the families will use (which may depend on the LX400 scheme) of every
// address at once and reports each address as soon as it is decided. Returns when every address
// was reported, or soon after `stopRequested` turned true.
using KnockFunction = std::function<void(const std::vector<Ipv4Address>& addresses, bool useHttps,
                                         const std::function<bool()>& stopRequested, const KnockReport& report)>;

// What the engine looks at addresses with: the knock of the discovery pass, then the families a
// job tries in order until one recognises an adapter (or makes a finding of its own), each on its
// port unless the knock found that port dead, and the update check once after the family that
// recognised the adapter. A search's plan carries them to every job, so the engine runs with the
// real network in the programs and with controlled stand-ins in tests. Without a knock, every
// address is probed.
struct JobProbes
{
    std::vector<ProbeFamily> families;
    UpdateCheckFunction updateCheck;
    KnockFunction knock;
};
