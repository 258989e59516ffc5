#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The main window's working copy of the scan settings; the settings dialog edits it and a search
// reads it. The flags are 0 or 1.
struct ScanSettings
{
    // Subnet text of the network to search ("192.168.1.*"); the part before its last dot counts.
    std::string subnet;
    // Choices of the settings dialog: detected local networks, then stored subnets, then every
    // subnet confirmed in the dialog, each once.
    std::vector<std::string> storedSubnets;
    std::int32_t firstHost = 1;
    std::int32_t lastHost = 254;
    std::int32_t scanDefaultAddress = 1;
    std::int32_t scanRange = 0;
    std::int32_t autoScan = 1;
    // LX400 login; never stored in the settings file.
    std::string user;
    std::string password;
    std::int32_t useHttps = 1;
};
