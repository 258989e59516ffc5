#include "app/local_networks.h"

#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <memory>
#include <net/if.h>
#include <netinet/in.h>

std::vector<InterfaceAddress> SystemInterfaceAddresses()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    const std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> owner(list, freeifaddrs);

    std::vector<InterfaceAddress> addresses;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        InterfaceAddress address;
        address.interfaceName = entry->ifa_name != nullptr ? entry->ifa_name : "";
        address.up = (entry->ifa_flags & IFF_UP) != 0;
        address.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET) {
            sockaddr_in inet{};
            std::memcpy(&inet, entry->ifa_addr, sizeof inet);
            address.ipv4 = true;
            address.address = ntohl(inet.sin_addr.s_addr);
        }
        addresses.push_back(std::move(address));
    }
    return addresses;
}

void DetectLocalNetworks(std::vector<std::string>& list, const InterfaceAddressSource& source)
{
    if (!source)
        return;
    for (const InterfaceAddress& entry : source()) {
        if (!entry.ipv4 || !entry.up || entry.loopback || (entry.address >> 24) == 127)
            continue;
        list.push_back(std::to_string(entry.address >> 24) + "." + std::to_string((entry.address >> 16) & 0xFF) + "." +
                       std::to_string((entry.address >> 8) & 0xFF) + ".*");
    }
}
