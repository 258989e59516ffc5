#pragma once

#include "probe/address_knock.h"
#include "probe/probe_config.h"
#include "scan/record/probe_seam.h"

#include <cstdint>
#include <vector>

// The port of the legacy status page, and of the LX400 interface over HTTP or HTTPS.
inline constexpr std::uint16_t kLegacyPort = 80;
[[nodiscard]] constexpr std::uint16_t ApiPort(bool useHttps)
{
    return useHttps ? 443 : 80;
}

// The adapter probes the scan engine's jobs run: the legacy status page first, the LX400 JSON
// interface when that found nothing; and the discovery knock on the ports they use.
[[nodiscard]] JobProbes MakeJobProbes(const ProbeConfig& config = {});

// The ports the probes use with the given LX400 scheme: 80, and 443 with HTTPS.
[[nodiscard]] std::vector<KnockPort> KnockedPorts(bool useHttps);
