#include "testsupport/loopback_http_server.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {
namespace {

bool SendAll(int fd, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::size_t ContentLength(const std::string& head)
{
    std::size_t at = 0;
    while ((at = head.find("\r\n", at)) != std::string::npos) {
        at += 2;
        if (strncasecmp(head.c_str() + at, "Content-Length:", 15) == 0)
            return static_cast<std::size_t>(std::strtoul(head.c_str() + at + 15, nullptr, 10));
    }
    return 0;
}

} // namespace

std::string LoopbackHttpServer::Request::Header(const std::string& name) const
{
    std::size_t at = 0;
    while ((at = head.find("\r\n", at)) != std::string::npos) {
        at += 2;
        if (strncasecmp(head.c_str() + at, (name + ":").c_str(), name.size() + 1) == 0) {
            std::size_t begin = at + name.size() + 1;
            while (begin < head.size() && head[begin] == ' ')
                ++begin;
            return head.substr(begin, head.find("\r\n", begin) - begin);
        }
    }
    return {};
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler, const std::string& bindAddress, std::uint16_t port)
    : handler_(std::move(handler)), address_(bindAddress)
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, bindAddress.c_str(), &address.sin_addr) != 1)
        throw std::runtime_error("loopback server: bad address " + bindAddress);
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    socklen_t length = sizeof address;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 64) != 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("loopback server: cannot listen");
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    stopping_ = true;
    ::shutdown(listenFd_, SHUT_RDWR);
    acceptor_.join();
    ::close(listenFd_);
    {
        std::lock_guard lock(mutex_);
        for (const int fd : openFds_)
            ::shutdown(fd, SHUT_RDWR);
    }
    released_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

std::string LoopbackHttpServer::Authority() const
{
    return address_ + ":" + std::to_string(port_);
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::Requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

LoopbackHttpServer::Reply LoopbackHttpServer::Respond(int status, const std::string& body, const std::string& headers)
{
    Reply reply;
    reply.bytes = "HTTP/1.1 " + std::to_string(status) + " Status\r\nContent-Length: " + std::to_string(body.size()) +
                  "\r\nConnection: close\r\n" + headers + "\r\n" + body;
    return reply;
}

void LoopbackHttpServer::AcceptLoop()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (stopping_)
                return;
            continue;
        }
        std::lock_guard lock(mutex_);
        openFds_.push_back(fd);
        workers_.emplace_back([this, fd] { Serve(fd); });
    }
}

void LoopbackHttpServer::Serve(int fd)
{
    std::string data;
    char buffer[4096];
    std::size_t headEnd = std::string::npos;
    while (headEnd == std::string::npos) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
        headEnd = data.find("\r\n\r\n");
    }
    if (headEnd != std::string::npos) {
        Request request;
        request.head = data.substr(0, headEnd + 2);
        const std::size_t wanted = ContentLength(request.head);
        while (data.size() < headEnd + 4 + wanted) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            data.append(buffer, static_cast<std::size_t>(n));
        }
        request.body = data.substr(headEnd + 4, wanted);
        request.requestLine = request.head.substr(0, request.head.find("\r\n"));
        request.method = request.requestLine.substr(0, request.requestLine.find(' '));
        const std::size_t targetBegin = request.method.size() + 1;
        request.target = request.requestLine.substr(targetBegin, request.requestLine.rfind(' ') - targetBegin);
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        const Reply reply = handler_(request);
        if (reply.silent) {
            std::unique_lock lock(mutex_);
            released_.wait(lock, [this] { return stopping_.load(); });
        } else if (reply.trickleMs > 0) {
            for (const char c : reply.bytes) {
                std::unique_lock lock(mutex_);
                if (released_.wait_for(lock, std::chrono::milliseconds(reply.trickleMs),
                                       [this] { return stopping_.load(); }))
                    break;
                lock.unlock();
                if (!SendAll(fd, std::string(1, c)))
                    break;
            }
        } else {
            SendAll(fd, reply.bytes);
        }
    }
    std::lock_guard lock(mutex_);
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    std::erase(openFds_, fd);
}

} // namespace testsupport
