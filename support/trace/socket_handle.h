#pragma once

#include <unistd.h>
#include <utility>

namespace xdbg {

// Owns one file descriptor and closes it when dropped.
class SocketHandle final
{
public:
    SocketHandle() = default;
    explicit SocketHandle(int fd) : fd_(fd) {}
    ~SocketHandle() { Reset(); }
    SocketHandle(SocketHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    SocketHandle& operator=(SocketHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;

    [[nodiscard]] int Get() const { return fd_; }
    [[nodiscard]] bool Valid() const { return fd_ >= 0; }
    void Reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

} // namespace xdbg
