#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "support/trace/socket_handle.h"

namespace xdbg {

// The TCP connection to a trace listener, shared by every thread that reports. It is opened by
// the first report that needs it, kept between reports and reopened after a failed send. Each
// send and each look at a connection in progress waits at most kWaitMicroseconds, so a caller
// holds the lock, and waits for it, only briefly.
class ListenerConnection final
{
public:
    static constexpr long kWaitMicroseconds = 1000;

    // Sends one frame to `host` (a dotted IPv4 address, no name lookup) and `port`, with up to two
    // attempts. Returns whether the whole frame went out.
    bool Send(const std::string& host, std::uint16_t port, std::string_view frame);

    // Closes the connection. With `forever` later sends are refused (process exit); without it
    // they are allowed again.
    void Close(bool forever);

private:
    enum class Progress {
        Connected,
        Pending,
        Failed,
    };

    Progress ConnectLocked(const std::string& host, std::uint16_t port);
    Progress AwaitConnectLocked();

    std::mutex lock_;
    SocketHandle socket_;
    bool connecting_ = false;
    bool closedForever_ = false;
};

} // namespace xdbg
