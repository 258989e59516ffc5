#include "testsupport/private_network.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sched.h>

namespace testsupport {

bool EnterPrivateNetwork(std::string* reason)
{
    if (::unshare(CLONE_NEWNET) != 0) {
        if (reason != nullptr)
            *reason = std::string("no private network namespace: ") + std::strerror(errno);
        return false;
    }
    if (std::system("ip link set lo up") != 0) {
        if (reason != nullptr)
            *reason = "cannot bring up the loopback device";
        return false;
    }
    return true;
}

bool AddLoopbackAddress(const std::string& address)
{
    for (const char c : address) {
        if ((c < '0' || c > '9') && c != '.')
            return false;
    }
    return std::system(("ip addr add " + address + "/32 dev lo").c_str()) == 0;
}

} // namespace testsupport
