#pragma once

#include "net/proxy_rule.h"
#include "net/tcp_knock.h"
#include "scan/record/probe_seam.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

// A port the probes use, with the scheme they speak on it (the proxy rule depends on it).
using KnockPort = ProbePort;

// The discovery knock of the program's searches: every port of every address at once through a
// plain TCP connect with the probes' own connect time-out. An address the HTTP layer would reach
// through a proxy (on any of the ports' schemes) is not knocked, as a direct connect says nothing
// about it; it is reported at once and probed as without the knock.
void KnockAddresses(const std::vector<Ipv4Address>& addresses, const std::vector<KnockPort>& ports,
                    const std::function<bool()>& stopRequested, const KnockReport& report,
                    const net::EnvironmentLookup& environment = net::ProcessEnvironment,
                    std::chrono::milliseconds connectTimeout = std::chrono::milliseconds(0));

// The outcome for one address from the answers of its ports (in the order of `ports`).
[[nodiscard]] KnockOutcome JudgeAnswers(const std::vector<KnockPort>& ports, std::span<const net::PortAnswer> answers);
