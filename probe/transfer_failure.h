#pragma once

#include "net/http_fetcher.h"
#include "net/tcp_knock.h"
#include "scan/record/probe_failure.h"

// The reason of a transfer that gave no answer, in plain words: what failed, the TLS library's
// own reason for a failed handshake, and where it happened when a redirect led elsewhere first.
[[nodiscard]] ProbeFailure TransferFailure(const TransferReport& report);

// The reason text of a TLS library message without its error code ("error:0A000102:SSL
// routines::unsupported protocol" becomes "unsupported protocol").
[[nodiscard]] std::string TlsReason(const std::string& message);

// The reason a probe would have given on a port that the discovery knock found dead: the same
// words as for a connection that failed in the probe itself.
[[nodiscard]] ProbeFailure KnockFailure(net::PortAnswer answer);
