#pragma once

#include "testsupport/loopback_http_server.h"

#include <string>
#include <vector>

namespace testsupport {

// An HTTP proxy on 127.0.0.1 and a free port that records every request it gets. A plain GET in
// absolute form ("GET http://HOST[:PORT]/PATH") is forwarded to its host and answered with what
// that host sent; anything else, CONNECT tunnels among it, gets 502.
class RecordingProxy final
{
public:
    RecordingProxy();

    // "http://127.0.0.1:PORT", the value of a proxy variable.
    [[nodiscard]] std::string Url() const;
    // The host of every request in the order they came: of the URL of a GET, of the authority
    // of a CONNECT (without the port).
    [[nodiscard]] std::vector<std::string> Hosts() const;

private:
    LoopbackHttpServer server_;
};

} // namespace testsupport
