#include "sim/raw_host.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sim {

namespace {

constexpr std::size_t kMaxRequest = 8192;
const std::string kTrickleHead = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n";
const std::string kTrickleBody = "<html><body><p>Please wait while the adapter collects its data...</p>\n";

} // namespace

RawListener::RawListener(const RawHost& host, Stats& stats)
    : host_(host), stats_(stats), counters_(stats.For(host.address))
{}

RawListener::~RawListener()
{
    Stop();
    for (const int fd : listeners_)
        close(fd);
    if (wake_ >= 0)
        close(wake_);
}

bool RawListener::Bind(std::string& error)
{
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    for (const int port : host_.ports) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = std::string("socket: ") + std::strerror(errno);
            return false;
        }
        listeners_.push_back(fd);
        const int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET, host_.address.c_str(), &address.sin_addr);
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0) {
            error = "cannot listen on " + host_.address + ":" + std::to_string(port) + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

void RawListener::Start()
{
    thread_ = std::thread([this] { Run(); });
}

void RawListener::Stop()
{
    if (!thread_.joinable())
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wake_, &one, sizeof one);
    thread_.join();
    while (!connections_.empty())
        Close(connections_.size() - 1);
}

void RawListener::Accept(int listener)
{
    for (;;) {
        const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        if (connections_.size() >= kMaxConnections)
            Close(0);
        stats_.Opened(counters_);
        Connection connection;
        connection.fd = fd;
        connections_.push_back(std::move(connection));
    }
}

bool RawListener::Read(Connection& connection)
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = recv(connection.fd, buffer, sizeof buffer, 0);
        if (got == 0)
            return false;
        if (got < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        if (connection.requestDone)
            continue;
        connection.request.append(buffer, static_cast<std::size_t>(got));
        if (connection.request.find("\r\n\r\n") != std::string::npos || connection.request.size() >= kMaxRequest) {
            connection.requestDone = true;
            // "GET /path HTTP/1.1": count the path without its query, as the HTTP hosts do.
            const auto first = connection.request.find(' ');
            const auto second = connection.request.find_first_of(" ?\r", first + 1);
            if (first != std::string::npos && second != std::string::npos)
                stats_.Requested(counters_, connection.request.substr(first + 1, second - first - 1));
            // A host that hangs up says nothing at all once it has the request.
            if (host_.mode == RawHost::Mode::Hangup)
                return false;
            connection.request.clear();
            connection.request.shrink_to_fit();
            connection.pending = kTrickleHead;
            connection.nextByte = std::chrono::steady_clock::now();
        }
    }
}

bool RawListener::Flush(Connection& connection)
{
    while (!connection.pending.empty()) {
        const ssize_t sent = send(connection.fd, connection.pending.data(), connection.pending.size(), MSG_NOSIGNAL);
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        connection.pending.erase(0, static_cast<std::size_t>(sent));
    }
    return true;
}

void RawListener::Close(std::size_t index)
{
    close(connections_[index].fd);
    connections_.erase(connections_.begin() + static_cast<std::ptrdiff_t>(index));
    stats_.Closed(counters_);
}

void RawListener::Run()
{
    const bool trickle = host_.mode == RawHost::Mode::Trickle;
    const bool reads = host_.mode != RawHost::Mode::Silent;
    const auto interval = std::chrono::milliseconds(host_.intervalMs);
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({wake_, POLLIN, 0});
        for (const int fd : listeners_)
            fds.push_back({fd, POLLIN, 0});
        const auto now = std::chrono::steady_clock::now();
        int timeout = -1;
        for (auto& connection : connections_) {
            // A silent host never reads: it only learns that the peer has gone.
            short events = POLLRDHUP;
            if (reads)
                events |= POLLIN;
            if (trickle) {
                if (!connection.pending.empty())
                    events |= POLLOUT;
                if (connection.requestDone) {
                    const auto wait =
                        std::chrono::duration_cast<std::chrono::milliseconds>(connection.nextByte - now).count();
                    const int due = static_cast<int>(std::max<long long>(0, wait));
                    timeout = timeout < 0 ? due : std::min(timeout, due);
                }
            }
            fds.push_back({connection.fd, events, 0});
        }
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            return;
        if (fds[0].revents != 0)
            return;
        // Walk the connections from the back so that closing one leaves the other indices valid.
        const std::size_t first = 1 + listeners_.size();
        for (std::size_t i = connections_.size(); i-- > 0;) {
            const short revents = fds[first + i].revents;
            Connection& connection = connections_[i];
            bool keep = (revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
            if (keep && !reads && (revents & POLLRDHUP) != 0)
                keep = false;
            if (keep && reads && (revents & (POLLIN | POLLRDHUP)) != 0)
                keep = Read(connection);
            if (keep && trickle && connection.requestDone && connection.pending.empty() &&
                std::chrono::steady_clock::now() >= connection.nextByte) {
                connection.pending = kTrickleBody[connection.sent++ % kTrickleBody.size()];
                connection.nextByte = std::chrono::steady_clock::now() + interval;
            }
            if (keep && trickle)
                keep = Flush(connection);
            if (!keep)
                Close(i);
        }
        for (std::size_t i = 0; i < listeners_.size(); ++i)
            if (fds[1 + i].revents & POLLIN)
                Accept(listeners_[i]);
    }
}

} // namespace sim
