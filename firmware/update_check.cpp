#include "firmware/update_check.h"

#include "firmware/vendor_answers.h"
#include "net/http_fetcher.h"
#include "resources/string_table.h"
#include "support/text/strings.h"
#include "support/trace/xdbg.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <utility>

namespace {

// Compact versions below 4.00 belong to adapters this program cannot update.
constexpr double kOldestUpdatable = 400.0;

constexpr std::array<std::pair<std::string_view, int>, 17> kModelTable{{
    {"LX200e", 14},
    {"LX300", 7},
    {"Cellvane II Webmanager BUDGET", 16},
    {"LX300 16MB", 17},
    {"LX300 Budget 4MB", 13},
    {"LX300 Minislot 16/32", 23},
    {"LX300 Minislot", 15},
    {"Roomwarden 4MB", 12},
    {"Roomsentry 4MB", 11},
    {"KVT2 4MB", 9},
    {"LX300 Budget 16MB", 18},
    {"LX300 16MB 88MHz", 19},
    {"LX300 88MHz", 20},
    {"LX300 Budget 4MB 88MHz", 21},
    {"LX300 Budget 16MB 88MHz", 22},
    {"Roomwarden V", 25},
    {"Roomwarden IV", 24},
}};

constexpr const char* kYourVersionLabel = "Your version:</b></td><td class=\"mainb\">";
constexpr const char* kLatestVersionLabel = "Latest version:</b></td><td class=\"mainb\">";

std::string FormatAvailable(const std::string& latest)
{
    return FillPlaces(trawlix::LoadString(trawlix::TextId::Available), {latest});
}

} // namespace

int DeviceIdForModel(const std::string& model)
{
    for (const auto& [name, id] : kModelTable) {
        if (model == name)
            return id;
    }
    return -1;
}

bool ReadVersionNumber(const std::string& text, double* number)
{
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])) != 0)
        ++at;
    if (at < text.size() && text[at] == '+')
        ++at;
    const char* begin = text.data() + at;
    const char* end = text.data() + text.size();
    // Only plain decimal numbers count as versions; "%lf" would also take "nan" or "inf".
    if (begin == end || !(std::isdigit(static_cast<unsigned char>(*begin)) != 0 || *begin == '-' || *begin == '.'))
        return false;
    double value = 0;
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ec != std::errc())
        return false;
    if (number != nullptr)
        *number = value;
    return true;
}

bool ReadVendorVersions(const std::string& page, VendorVersions* versions)
{
    VendorVersions read;
    // Empty or non-numeric versions on the vendor's page say nothing about an update.
    if (!ExtractLabelValue(kYourVersionLabel, page, &read.yours) ||
        !ExtractLabelValue(kLatestVersionLabel, page, &read.latest) ||
        !ReadVersionNumber(read.yours, &read.yourNumber) || !ReadVersionNumber(read.latest, &read.latestNumber))
        return false;
    if (versions != nullptr)
        *versions = std::move(read);
    return true;
}

std::string UpdateRequestPath(const std::string& model, bool jsonApi, const std::string& compactVersion,
                              const std::string& oem, int* deviceId)
{
    std::string name = model;
    const std::size_t rs485 = name.find("RS485");
    if (rs485 != std::string::npos)
        name.erase(rs485);

    std::string device;
    if (jsonApi) {
        device = "dev=" + name;
    } else {
        const int id = DeviceIdForModel(Trim(name));
        if (deviceId != nullptr)
            *deviceId = id;
        if (id == -1)
            return {};
        device = "dev=" + std::to_string(id);
    }
    return "cgi-bin/kvt_update.cgi?ver=" + compactVersion + "&oem=" + oem + "&" + device;
}

std::string CheckFirmwareUpdate(const std::string& model, DeviceRecord* record, const std::string& compactVersion,
                                const std::string& oem, const UpdateCheckContext& context)
{
    if (record == nullptr)
        return trawlix::LoadString(trawlix::TextId::InfoNotAvailable);
    if (!record->jsonApi) {
        double compact = 0;
        if (!ReadVersionNumber(compactVersion, &compact))
            compact = 0;
        if (compact < kOldestUpdatable) {
            record->updateState = 2;
            return trawlix::LoadString(trawlix::TextId::NotPossible);
        }
    }

    int deviceId = -1;
    const std::string path = UpdateRequestPath(model, record->jsonApi, compactVersion, oem, &deviceId);
    if (!record->jsonApi)
        record->deviceId = deviceId;
    if (path.empty()) {
        std::string cut = model.substr(0, model.find("RS485"));
        XDbgTrace("DevID not found: <%s>\n", cut.c_str());
        return trawlix::LoadString(trawlix::TextId::InfoNotAvailable);
    }

    std::string page;
    const bool fetched = context.answers != nullptr
                             ? context.answers->FetchPage(context.server, path, &page, context.stop)
                             : FetchPage(context.server, path, &page, context.stop);
    if (!fetched)
        return trawlix::LoadString(trawlix::TextId::InfoNotAvailable);

    VendorVersions versions;
    if (!ReadVendorVersions(page, &versions))
        return trawlix::LoadString(trawlix::TextId::InfoNotAvailable);
    if (versions.yourNumber < versions.latestNumber) {
        record->updateState = 1;
        record->latestFirmware = versions.latest;
        return FormatAvailable(versions.latest);
    }
    return trawlix::LoadString(trawlix::TextId::UpToDate);
}
