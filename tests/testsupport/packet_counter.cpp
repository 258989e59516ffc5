#include "testsupport/packet_counter.h"

#include <cstdlib>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace testsupport {

PacketCounter::PacketCounter(const std::string& name) : name_(name)
{
    fd_ = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC);
    if (fd_ < 0)
        return;
    ifreq request = {};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
    if (::ioctl(fd_, TUNSETIFF, &request) != 0 || std::system(("ip link set " + name + " up").c_str()) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    reader_ = std::thread([this] { Read(); });
}

PacketCounter::~PacketCounter()
{
    stop_ = true;
    if (reader_.joinable())
        reader_.join();
    if (fd_ >= 0)
        ::close(fd_);
}

bool PacketCounter::Route(const std::string& network) const
{
    for (const char c : network) {
        if ((c < '0' || c > '9') && c != '.' && c != '/')
            return false;
    }
    return Ready() && std::system(("ip route add " + network + " dev " + name_).c_str()) == 0;
}

std::map<std::string, int> PacketCounter::Packets() const
{
    std::lock_guard lock(mutex_);
    return packets_;
}

void PacketCounter::Read()
{
    unsigned char packet[65536];
    while (!stop_) {
        pollfd wait = {fd_, POLLIN, 0};
        if (::poll(&wait, 1, 20) <= 0)
            continue;
        const ssize_t n = ::read(fd_, packet, sizeof packet);
        if (n < 20 || (packet[0] >> 4) != 4)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, packet + 16, text, sizeof text);
        std::lock_guard lock(mutex_);
        ++packets_[text];
    }
}

} // namespace testsupport
