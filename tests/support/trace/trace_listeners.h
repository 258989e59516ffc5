#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/trace/socket_handle.h"

namespace tracetest {

// Stands in for the "winio_class" window: a datagram socket bound to an abstract name.
class WindowListener final
{
public:
    explicit WindowListener(const std::string& name);
    // Every datagram queued so far. Sends to a datagram socket are queued before they return, so
    // this sees everything a finished trace call sent.
    [[nodiscard]] std::vector<std::string> Drain() const;

private:
    xdbg::SocketHandle socket_;
};

// A TCP listener on 127.0.0.1 at a port the system picks.
class LoopbackListener final
{
public:
    LoopbackListener();
    [[nodiscard]] std::uint16_t Port() const { return port_; }
    [[nodiscard]] int Fd() const { return socket_.Get(); }
    // Waits up to `waitMs` for a connection; an invalid handle when none came.
    [[nodiscard]] xdbg::SocketHandle Accept(int waitMs) const;

private:
    xdbg::SocketHandle socket_;
    std::uint16_t port_ = 0;
};

// Waits for data, then reads whatever has arrived.
[[nodiscard]] std::string ReadAvailable(int fd);

// Reads until the peer closes the connection (bounded by a generous wait per read).
[[nodiscard]] std::string ReadUntilClosed(int fd);

// Splits a listener's byte stream into "XDEBUG|n|text|" frames, appending their texts, and
// returns how many bytes formed complete, consistent frames from the start.
std::size_t ParseFrames(const std::string& data, std::vector<std::string>& texts);

} // namespace tracetest
