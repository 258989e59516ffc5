#include "support/trace/listener_connection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

namespace xdbg {
namespace {

bool MakeBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

} // namespace

bool ListenerConnection::Send(const std::string& host, std::uint16_t port, std::string_view frame)
{
    std::lock_guard guard(lock_);
    if (closedForever_)
        return false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        Progress progress = Progress::Connected;
        if (!socket_.Valid())
            progress = ConnectLocked(host, port);
        else if (connecting_)
            progress = AwaitConnectLocked();
        if (progress == Progress::Pending)
            return false; // the connection may be ready for a later report
        if (progress == Progress::Failed)
            continue;

        const auto sent = ::send(socket_.Get(), frame.data(), frame.size(), MSG_NOSIGNAL);
        if (sent == static_cast<ssize_t>(frame.size()))
            return true;
        // A failed or cut send leaves the listener in the middle of a frame: start afresh.
        socket_.Reset();
    }
    return false;
}

void ListenerConnection::Close(bool forever)
{
    std::lock_guard guard(lock_);
    socket_.Reset();
    connecting_ = false;
    closedForever_ = forever;
}

ListenerConnection::Progress ListenerConnection::ConnectLocked(const std::string& host, std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    // An address that does not parse would become 255.255.255.255 in the classic conversion;
    // such a listener gets nothing rather than a broadcast attempt.
    if (::inet_aton(host.c_str(), &address.sin_addr) == 0)
        return Progress::Failed;

    SocketHandle socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket.Valid())
        return Progress::Failed;
    const timeval timeout{0, kWaitMicroseconds};
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);

    if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        if (!MakeBlocking(socket.Get()))
            return Progress::Failed;
        socket_ = std::move(socket);
        connecting_ = false;
        return Progress::Connected;
    }
    if (errno != EINPROGRESS)
        return Progress::Failed;
    socket_ = std::move(socket);
    connecting_ = true;
    return AwaitConnectLocked();
}

ListenerConnection::Progress ListenerConnection::AwaitConnectLocked()
{
    // A connect is never waited for longer than a send may take; one still under way is kept
    // and looked at again by the next report.
    pollfd entry{socket_.Get(), POLLOUT, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(kWaitMicroseconds / 1000));
    if (ready <= 0)
        return Progress::Pending;

    int error = 0;
    socklen_t length = sizeof error;
    connecting_ = false;
    if (::getsockopt(socket_.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0 ||
        !MakeBlocking(socket_.Get())) {
        socket_.Reset();
        return Progress::Failed;
    }
    return Progress::Connected;
}

} // namespace xdbg
