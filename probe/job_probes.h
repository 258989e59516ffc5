#pragma once

#include "probe/probe_config.h"
#include "scan/probe_seam.h"

// The adapter probes the scan engine's jobs run: the legacy status page first, the LX400 JSON
// interface when that found nothing.
[[nodiscard]] JobProbes MakeJobProbes(const ProbeConfig& config = {});
