#include "tests/support/trace/trace_listeners.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stddef.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>

namespace tracetest {

WindowListener::WindowListener(const std::string& name) : socket_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0))
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (::bind(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), length) != 0)
        throw std::runtime_error("cannot bind the window socket " + name);
}

std::vector<std::string> WindowListener::Drain() const
{
    std::vector<std::string> datagrams;
    char buffer[4096];
    for (;;) {
        const auto received = ::recv(socket_.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (received < 0)
            return datagrams;
        datagrams.emplace_back(buffer, static_cast<std::size_t>(received));
    }
}

LoopbackListener::LoopbackListener() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(socket_.Get(), 16) != 0 ||
        ::getsockname(socket_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
}

xdbg::SocketHandle LoopbackListener::Accept(int waitMs) const
{
    pollfd entry{socket_.Get(), POLLIN, 0};
    if (::poll(&entry, 1, waitMs) != 1)
        return {};
    return xdbg::SocketHandle(::accept4(socket_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
}

std::string ReadAvailable(int fd)
{
    std::string data;
    char buffer[4096];
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 10000) != 1)
        return data;
    for (;;) {
        const auto received = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (received <= 0)
            return data;
        data.append(buffer, static_cast<std::size_t>(received));
    }
}

std::string ReadUntilClosed(int fd)
{
    std::string data;
    char buffer[4096];
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 10000) != 1)
            throw std::runtime_error("the connection was not closed");
        const auto received = ::recv(fd, buffer, sizeof buffer, 0);
        if (received <= 0)
            return data;
        data.append(buffer, static_cast<std::size_t>(received));
    }
}

std::size_t ParseFrames(const std::string& data, std::vector<std::string>& texts)
{
    static const std::string kHead = "XDEBUG|";
    std::size_t at = 0;
    while (data.compare(at, kHead.size(), kHead) == 0) {
        const std::size_t digits = at + kHead.size();
        const std::size_t bar = data.find('|', digits);
        if (bar == std::string::npos || bar == digits || data.find_first_not_of("0123456789", digits) != bar)
            break;
        const std::size_t length = std::stoul(data.substr(digits, bar - digits));
        if (bar + 1 + length >= data.size() || data[bar + 1 + length] != '|')
            break;
        texts.push_back(data.substr(bar + 1, length));
        at = bar + length + 2;
    }
    return at;
}

} // namespace tracetest
