#pragma once

#include "probe/probe_config.h"
#include "scan/record/probe_seam.h"

#include <cstdint>
#include <vector>

// The adapter families the program knows, in the order a job tries them: the legacy status page
// on port 80, then the LX400 JSON interface on 443 with HTTPS or 80 without. A new family is one
// entry here (and its probe beside the others in probe/).
[[nodiscard]] const std::vector<ProbeFamily>& AdapterFamilies();

// What the scan engine's jobs look at addresses with: the adapter families, the update check
// against the vendor's server of `config`, and the discovery knock on the families' ports.
[[nodiscard]] JobProbes MakeJobProbes(const ProbeConfig& config = {});

// The ports `families` speak on with the given LX400 scheme, each once, in family order.
[[nodiscard]] std::vector<std::uint16_t> FamilyPorts(const std::vector<ProbeFamily>& families, bool useHttps);
