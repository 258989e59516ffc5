#pragma once

#include "scan/record/device_record.h"
#include "support/threads/stop_token.h"

#include <string>

class VendorAnswers;

// The vendor's web server, asked over plain HTTP for the newest firmware of a model. Settings
// ("updateserver") and the command line may name another host, with ":port" if needed.
inline constexpr const char* kDefaultUpdateServer = "www.orvanta.de";

// Where and how the update check asks. The stop token lets a search stop cut the request short.
// With `answers` (owned by the search, outliving its checks) the checks of one search share the
// vendor's answers instead of each asking on its own; the result is the same either way.
struct UpdateCheckContext
{
    std::string server = kDefaultUpdateServer;
    jwin::StopToken stop;
    VendorAnswers* answers = nullptr;
};

// Device id the vendor uses for a legacy adapter model; -1 when the name (compared whole and
// case-sensitively) is not a known model.
[[nodiscard]] int DeviceIdForModel(const std::string& model);

// Path and query of the vendor's update CGI for one adapter; empty when a legacy model has no
// device id (then `deviceId` says -1).
[[nodiscard]] std::string UpdateRequestPath(const std::string& model, bool jsonApi, const std::string& compactVersion,
                                            const std::string& oem, int* deviceId);

// Asks the vendor's server whether newer firmware exists for the adapter in `record` and returns
// the text of the device list's "Update" column. Sets updateState (1 newer firmware available,
// 2 too old to update), deviceId (legacy adapters) and latestFirmware (when 1).
[[nodiscard]] std::string CheckFirmwareUpdate(const std::string& model, DeviceRecord* record,
                                              const std::string& compactVersion, const std::string& oem,
                                              const UpdateCheckContext& context = {});

// The adapter's version and the newest one as a vendor's answer page states them, as texts and
// as numbers.
struct VendorVersions
{
    std::string yours;
    std::string latest;
    double yourNumber = 0;
    double latestNumber = 0;
};
// False when a label is missing or a version does not begin with a number. `versions` may be null.
[[nodiscard]] bool ReadVendorVersions(const std::string& page, VendorVersions* versions);

// Reads the leading number of a version text the way "%lf" does, without regard to the locale;
// false when the text does not begin with a number.
[[nodiscard]] bool ReadVersionNumber(const std::string& text, double* number);
