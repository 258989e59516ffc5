#pragma once

#include "probe/probe_config.h"
#include "scan/record/probe_seam.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The adapter families the program knows, in the order a job tries them: the legacy status page
// on port 80, then the LX400 JSON interface on 443 with HTTPS or 80 without. A new family is one
// entry here (and its probe beside the others in probe/).
[[nodiscard]] const std::vector<ProbeFamily>& AdapterFamilies();

// What the scan engine's jobs look at addresses with: the adapter families, the update check
// against the vendor's server of `config` (through its shared answers, which the probes keep
// alive), and the discovery knock on the families' ports.
[[nodiscard]] JobProbes MakeJobProbes(const ProbeConfig& config = {});

// The probes of each search a front end starts, made anew for every search.
using SearchProbes = std::function<JobProbes()>;

// MakeJobProbes of `config` with vendor answers of each search's own (kept in `cache` as well
// when there is one): the checks of a search ask the vendor once per distinct question, and the
// next search asks anew unless the cache still holds the answer.
[[nodiscard]] SearchProbes MakeSearchProbes(ProbeConfig config, std::shared_ptr<const VendorCache> cache = nullptr);

// The ports `families` speak on with the given LX400 scheme, each once, in family order.
[[nodiscard]] std::vector<std::uint16_t> FamilyPorts(const std::vector<ProbeFamily>& families, bool useHttps);
