#pragma once

// An https server for the TLS set-ups OpenSSL cannot play as a server: the HTTP side is the
// simulator's usual server (its handlers, task queue, time-outs and log), only the bytes of each
// connection go through a GnuTLS session with the given priority string.
#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace sim {

// Null with a reason when GnuTLS refuses the priority string, the certificate or the key (PEM).
[[nodiscard]] std::unique_ptr<httplib::Server> MakeGnuTlsServer(const std::string& priority,
                                                                const std::string& certificatePem,
                                                                const std::string& keyPem, std::string& error);

} // namespace sim
