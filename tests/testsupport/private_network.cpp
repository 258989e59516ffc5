#include "testsupport/private_network.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>

#include <sstream>

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

bool EnterPrivateNetworkOrSaySkipped()
{
    std::string reason;
    if (EnterPrivateNetwork(&reason))
        return true;
    std::fprintf(stderr, "skipped: %s\n", reason.c_str());
    return false;
}

bool AddLoopbackAddress(const std::string& address)
{
    for (const char c : address) {
        if ((c < '0' || c > '9') && c != '.')
            return false;
    }
    return std::system(("ip addr add " + address + "/32 dev lo").c_str()) == 0;
}

bool RouteSilentNetwork(const std::string& network)
{
    for (const char c : network) {
        if ((c < '0' || c > '9') && c != '.' && c != '/')
            return false;
    }
    static const bool tun = std::system("ip tuntap add dev tun7 mode tun && ip link set tun7 up") == 0;
    return tun && std::system(("ip route add " + network + " dev tun7").c_str()) == 0;
}

bool AddNetworkAddresses(const std::string& description, std::string* failed)
{
    std::istringstream lines(description);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string kind;
        std::string address;
        words >> kind >> address;
        if (kind != "legacy" && kind != "lx400" && kind != "host" && kind != "vendor")
            continue;
        address = address.substr(0, address.find(':')); // "address:port" serves on that address
        if (!AddLoopbackAddress(address)) {
            if (failed != nullptr)
                *failed = address;
            return false;
        }
    }
    return true;
}

} // namespace testsupport
