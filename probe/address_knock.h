#pragma once

#include "net/tcp_knock.h"
#include "scan/record/probe_seam.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

// A port the probes use.
struct KnockPort
{
    std::uint16_t port = 80;
};

// The discovery knock of the program's searches: every port of every address at once through a
// plain TCP connect with the probes' own connect time-out. The probes reach adapters directly
// whatever proxy the environment names, so the knock's connect is the probes' own and judges
// every address.
void KnockAddresses(const std::vector<Ipv4Address>& addresses, const std::vector<KnockPort>& ports,
                    const std::function<bool()>& stopRequested, const KnockReport& report,
                    std::chrono::milliseconds connectTimeout = std::chrono::milliseconds(0));

// The outcome for one address from the answers of its ports (in the order of `ports`).
[[nodiscard]] KnockOutcome JudgeAnswers(const std::vector<KnockPort>& ports, std::span<const net::PortAnswer> answers);
