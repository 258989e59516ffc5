#pragma once

#include "scan/record/probe_failure.h"

#include <cstdint>
#include <string>

// The result of probing one address, or the controller's end-of-search marker.
// Strings hold the bytes as the adapter sent them (legacy pages re-encoded to ISO-8859-1 when
// they declared UTF-8, JSON values as UTF-8); decoding for display happens at the edges.
struct DeviceRecord
{
    std::string model;
    std::string mac;
    std::string ip;
    std::string oem;
    std::string firmware;
    std::string latestFirmware;
    std::string updateText;
    std::string manufacturer;
    std::string location;
    std::int32_t deviceId = -1;
    // 0: no update offered, 1: newer firmware available, 2: update not possible.
    std::int32_t updateState = 0;
    bool endOfSearch = false;
    bool found = false;
    bool jsonApi = false;
    // Why nothing was found at the address; set only when `found` is false (and then not always).
    ProbeFailure failure;

    bool operator==(const DeviceRecord&) const = default;
};

// Receives every finished record. Returns 1 when a window took the record, 0 when the context
// was empty; callers ignore the result. Called on worker threads.
using ScanResultCallback = int (*)(const DeviceRecord& record, void* context);
