#pragma once

#include <string>

namespace testsupport {

// Moves the calling thread (and every thread and process it starts later) into a network
// namespace of its own with the loopback device up, so a test can put any address on it and
// serve it without touching the machine's network. Call it before the test starts any thread.
// False with a reason when the machine does not allow it (not root, no namespaces).
bool EnterPrivateNetwork(std::string* reason);

// The exit status by which a test program tells ctest that it was skipped.
inline constexpr int kSkippedExitCode = 77;

// EnterPrivateNetwork for a test program's main: when the machine does not allow it, says why on
// standard error as a skip and returns false.
bool EnterPrivateNetworkOrSaySkipped();

// Adds an IPv4 address as /32 to the loopback device of the private namespace.
bool AddLoopbackAddress(const std::string& address);

// Routes an IPv4 network ("10.60.0.0/24") of the private namespace into a tun device that nobody
// reads, as a network where no host answers: connects to it get no answer at all. False when the
// machine has no tun device.
bool RouteSilentNetwork(const std::string& network);

// Adds the address of every host a trawlix-sim network description serves (its "legacy",
// "lx400", "host" and "vendor" lines). False with the address that could not be added.
bool AddNetworkAddresses(const std::string& description, std::string* failed);

} // namespace testsupport
