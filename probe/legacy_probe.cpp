#include "probe/legacy_probe.h"

#include "net/http_fetcher.h"
#include "probe/firmware_version.h"
#include "probe/transfer_failure.h"
#include "support/trace/xdbg.h"

#include <array>
#include <utility>

namespace {

using Variants = std::array<const char*, 4>;

// Label cells as adapters write them: with a non-breaking-space entity, or through the page
// script's _dw() call; each with and without the width attribute on the value cell.
constexpr Variants kHardware{
    "LX200&nbsp;Hardware</td><td class=\"mainb\" width=\"100%\">",
    "LX200&nbsp;Hardware</td><td class=\"mainb\">",
    "_dw(\"LX200 Hardware\")</script></td><td class=\"mainb\" width=\"100%\">",
    "_dw(\"LX200 Hardware\")</script></td><td class=\"mainb\">",
};
constexpr Variants kFirmware{
    "LX200&nbsp;Firmware</td><td class=\"mainb\" width=\"100%\">",
    "LX200&nbsp;Firmware</td><td class=\"mainb\">",
    "_dw(\"LX200 Firmware\")</script></td><td class=\"mainb\" width=\"100%\">",
    "_dw(\"LX200 Firmware\")</script></td><td class=\"mainb\">",
};
constexpr Variants kMac{
    "MAC&nbsp;Address</td><td class=\"mainb\" width=\"100%\">",
    "MAC&nbsp;Address</td><td class=\"mainb\">",
    "_dw(\"MAC Address\")</script></td><td class=\"mainb\" width=\"100%\">",
    "_dw(\"MAC Address\")</script></td><td class=\"mainb\">",
};
// The manufacturer's cell is written without the width attribute first.
constexpr Variants kManufacturer{
    "UPS&nbsp;Manufacturer</td><td class=\"mainb\">",
    "UPS&nbsp;Manufacturer</td><td class=\"mainb\" width=\"100%\">",
    "_dw(\"UPS Manufacturer\")</script></td><td class=\"mainb\" width=\"100%\">",
    "_dw(\"UPS Manufacturer\")</script></td><td class=\"mainb\">",
};
constexpr Variants kLocation{
    "Location</td><td class=\"mainb\" width=\"100%\">",
    "Location</td><td class=\"mainb\">",
    "_dw(\"Location\")</script></td><td class=\"mainb\" width=\"100%\">",
    "_dw(\"Location\")</script></td><td class=\"mainb\">",
};

// The first variant that occurs decides, also when its value is empty.
std::string ReadValue(const Variants& variants, const std::string& page)
{
    std::string value;
    for (const char* label : variants) {
        if (ExtractLabelValue(label, page, &value))
            break;
    }
    return value;
}

// "hardware, MAC address": the values an adapter's page always has that this page lacks.
std::string MissingValues(const LegacyPageValues& values)
{
    std::string missing;
    for (const auto& [value, name] : {std::pair{&values.hardware, "hardware"}, std::pair{&values.firmware, "firmware"},
                                      std::pair{&values.mac, "MAC address"}}) {
        if (value->empty())
            missing += std::string(missing.empty() ? "" : ", ") + name;
    }
    return missing;
}

} // namespace

LegacyPageValues ReadLegacyPage(const std::string& page)
{
    LegacyPageValues values;
    values.hardware = ReadValue(kHardware, page);
    values.firmware = ReadValue(kFirmware, page);
    values.mac = ReadValue(kMac, page);
    values.manufacturer = ReadValue(kManufacturer, page);
    values.location = ReadValue(kLocation, page);
    return values;
}

bool ProbeLegacyAdapter(const ProbeTarget& job, DeviceRecord* record, std::string* compactVersion, ProbeFailure* why)
{
    ProbeFailure ignored;
    if (why == nullptr)
        why = &ignored;
    if (record == nullptr)
        return false;
    const std::string address = job.address.Text();
    std::string page;
    FetchReport report;
    // The status page is an adapter's: a redirect to https gets the TLS of old devices.
    if (!FetchPage(UrlHost(job.address, job.port, false), "net.shtml", &page,
                   FetchOptions{job.stop, net::HttpPeer::Adapter}, &report)) {
        if (report.notFoundPage)
            *why = {ProbeFailureKind::PageNotFound,
                    "the page says \"file not found\" (HTTP " + std::to_string(report.status) + ")"};
        else
            *why = TransferFailure(report);
        return false;
    }

    LegacyPageValues values = ReadLegacyPage(page);
    if (values.hardware.empty() || values.firmware.empty() || values.mac.empty()) {
        XDbgTrace("Invalid data on %s\n", address.c_str());
        *why = {ProbeFailureKind::NotAnAdapter, "HTTP " + std::to_string(report.status) +
                                                    " page without adapter data (" + MissingValues(values) +
                                                    " missing)"};
        return false;
    }

    std::string displayVersion;
    std::string compact;
    std::string oem;
    SplitFirmwareVersion(values.firmware, "v ", &displayVersion, &compact, &oem);
    if (!oem.empty())
        values.manufacturer += " (" + oem + ")";

    if (job.stop.StopRequested()) {
        *why = {ProbeFailureKind::Stopped, "the search was stopped"};
        return false;
    }

    record->found = true;
    record->model = values.hardware;
    record->mac = values.mac;
    record->firmware = displayVersion;
    record->oem = oem;
    record->manufacturer = values.manufacturer;
    record->location = values.location;
    record->updateState = 0;
    record->deviceId = -1;
    if (compactVersion != nullptr)
        *compactVersion = std::move(compact);
    return true;
}
