#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>

namespace net {

// What one port of an address did when knocked on.
enum class PortAnswer : std::uint8_t {
    Open,    // the connection was accepted
    Refused, // the host answered with a reset
    Silent,  // nothing within the time-out, or the host or its network cannot be reached
    Unknown  // the knock could not be made here (no socket or local port left, an unexpected local error)
};

// Called once per address, as soon as every port of it has an answer; `answers` follow the
// order of the ports.
using KnockReport = std::function<void(std::size_t address, std::span<const PortAnswer> answers)>;

// Knocks on every port of every IPv4 address (network byte order) at once: a non-blocking TCP
// connect per pair, closed again as soon as it is made, so a whole network costs one connect
// time-out instead of one per address. The pairs are started in order (first address first);
// addresses decided in the same moment are reported in index order. Looks at `stopRequested` at
// least every 100 ms and then returns false at once; the addresses not reported by then never
// are. Returns true when every address was reported.
bool KnockPorts(std::span<const std::uint32_t> addresses, std::span<const std::uint16_t> ports,
                std::chrono::milliseconds connectTimeout, const std::function<bool()>& stopRequested,
                const KnockReport& report);

} // namespace net
