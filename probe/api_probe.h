#pragma once

#include "net/http_fetcher.h"
#include "scan/record/device_record.h"
#include "scan/record/probe_seam.h"

#include <string>

// Logs in to an LX400 adapter's JSON interface on the target's port, reads its system
// information and network configuration and fills `record`. True when all three requests answered
// 200 and both documents were usable; then `compactVersion`, when given, receives the firmware
// version the update check asks the vendor about. A refused login is a finding of its own:
// `record` then says "Access denied!" and the result is false. On a false result `why`, when
// given, says what failed.
bool ProbeApiAdapter(const ProbeTarget& job, DeviceRecord* record, std::string* compactVersion = nullptr,
                     ProbeFailure* why = nullptr);

// The login step; false unless the adapter answered 200. A refused login (401) marks the record
// as an LX400 that said "Access denied!". On false `why`, when given, says what failed.
bool ApiLogin(const ProbeTarget& job, ApiSession* session, DeviceRecord* record, ProbeFailure* why = nullptr);

// One read of a JSON document into `document`; false unless the adapter answered 200, and then
// `why`, when given, says what failed.
bool ApiGet(ApiSession* session, const ProbeTarget& job, const std::string& objectPath, std::string* document,
            ProbeFailure* why = nullptr);

// The login body with both values escaped for JSON.
[[nodiscard]] std::string ApiLoginBody(const std::string& user, const std::string& password);

// What the probe takes from the two documents. `usable` is false when a document does not parse,
// its root is not an object, or a member holds an array or object where text belongs.
struct ApiSystemInfo
{
    bool usable = false;
    std::string version;
    std::string name;
    std::string manufacturer;
    std::string location;
};
[[nodiscard]] ApiSystemInfo ReadApiSystemInfo(const std::string& document);

struct ApiNetworkConfig
{
    bool usable = false;
    std::string mac;
};
[[nodiscard]] ApiNetworkConfig ReadApiNetworkConfig(const std::string& document);
