#include "testsupport/dns_recorder.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {
namespace {

// The query name of a DNS message ("www.example.org"), or a marker when it cannot be read.
std::string QueryName(const unsigned char* message, std::size_t size)
{
    std::string name;
    for (std::size_t at = 12; at < size;) {
        const std::size_t length = message[at++];
        if (length == 0)
            return name.empty() ? "." : name;
        if (length > 63 || at + length > size)
            break;
        if (!name.empty())
            name += '.';
        name.append(reinterpret_cast<const char*>(message + at), length);
        at += length;
    }
    return "(unreadable query)";
}

} // namespace

bool UseLoopbackResolver(std::string* reason)
{
    auto fail = [&](const std::string& what) {
        if (reason != nullptr)
            *reason = what + ": " + std::strerror(errno);
        return false;
    };
    if (::unshare(CLONE_NEWNS) != 0)
        return fail("no private mount namespace");
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return fail("cannot make the mounts private");
    char path[] = "/tmp/trawlix-resolv-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0)
        return fail("cannot write a resolver file");
    const std::string text = "nameserver 127.0.0.1\noptions timeout:1 attempts:1\n";
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    const bool mounted = written && ::mount(path, "/etc/resolv.conf", nullptr, MS_BIND, nullptr) == 0;
    const int error = errno;
    ::unlink(path); // the bind mount keeps the file alive
    errno = error;
    return mounted || fail("cannot put the resolver file on /etc/resolv.conf");
}

DnsRecorder::~DnsRecorder()
{
    stop_.store(true);
    if (thread_.joinable())
        thread_.join();
    if (socket_ >= 0)
        ::close(socket_);
}

bool DnsRecorder::Start(std::string* reason)
{
    socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket_ < 0 || ::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (reason != nullptr)
            *reason = std::string("cannot listen on 127.0.0.1:53: ") + std::strerror(errno);
        return false;
    }
    thread_ = std::thread([this] { Serve(); });
    return true;
}

std::vector<std::string> DnsRecorder::Queries() const
{
    std::lock_guard lock(mutex_);
    return queries_;
}

void DnsRecorder::Serve()
{
    unsigned char message[4096];
    while (!stop_.load()) {
        pollfd ready{socket_, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t size =
            ::recvfrom(socket_, message, sizeof message, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (size < 12)
            continue;
        {
            std::lock_guard lock(mutex_);
            queries_.push_back(QueryName(message, static_cast<std::size_t>(size)));
        }
        // The query itself as the answer: response flag, recursion available, "no such name".
        message[2] |= 0x80;
        message[3] = 0x83;
        ::sendto(socket_, message, static_cast<std::size_t>(size), 0, reinterpret_cast<const sockaddr*>(&from),
                 fromSize);
    }
}

} // namespace testsupport
