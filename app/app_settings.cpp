#include "app/app_settings.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

#include "support/profile/profile.h"
#include "support/text/token.h"

namespace {

constexpr std::int32_t kModeRead = 1;
constexpr std::int32_t kModeWrite = 2;

// The leading decimal number of `text` as the C runtime's atoi reads it, held within 32 bits.
std::int32_t LeadingNumber(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(value * 10 + (text[i] - '0'), kLimit);
    value = negative ? -value : std::min(value, kLimit - 1);
    return static_cast<std::int32_t>(value);
}

bool ReadString(const char* key, std::string& value)
{
    return read_profile_key(kSettingsTopic, key, value) != 0;
}

void ReadFlag(const char* key, bool& flag)
{
    std::string value;
    if (ReadString(key, value))
        flag = LeadingNumber(value) != 0;
}

const char* FlagText(bool flag)
{
    return flag ? "1" : "0";
}

bool Contains(const std::vector<std::string>& list, const std::string& text)
{
    return std::find(list.begin(), list.end(), text) != list.end();
}

} // namespace

void AppSettings::Load(const std::string& path)
{
    autoScan = true;
    scanRange = false;
    scanDefaultAddress = true;
    suppressNoRoute = false;
    firstStart = false;
    useHttps = true;
    subnet.clear();
    storedSubnets.clear();
    firstHost = 1;
    lastHost = 254;
    updateServer.clear();

    if (!open_profile(path.c_str(), kModeRead)) {
        firstStart = true;
        return;
    }
    const CJToken token(";");
    std::string value;
    if (ReadString("subnets", value)) {
        const int count = token.GetCount(value.c_str());
        for (int field = 1; field <= count; ++field) {
            char text[kMaxSubnetText + 1];
            token.GetToken(text, sizeof text, value.c_str(), field, false);
            if (text[0] != '\0')
                storedSubnets.emplace_back(text);
        }
    }
    if (ReadString("subnetrange", value)) {
        const int count = token.GetCount(value.c_str());
        if (count >= 1)
            firstHost = LeadingNumber(token.Token(value, 1));
        if (count >= 2)
            lastHost = LeadingNumber(token.Token(value, 2));
    }
    ReadFlag("autoscan", autoScan);
    ReadFlag("scansubnet", scanRange);
    ReadFlag("scan10", scanDefaultAddress);
    ReadString("selsubnet", subnet);
    ReadFlag("https", useHttps);
    ReadString("updateserver", updateServer);
    close_profile();
}

bool AppSettings::Save(const std::string& path) const
{
    if (path.empty())
        return false;
    // The per-user folder may not exist yet; the program's own folder always does.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    if (!open_profile(path.c_str(), kModeWrite))
        return false;

    std::string subnets;
    for (const std::string& entry : storedSubnets) {
        if (!subnets.empty())
            subnets += ';';
        subnets += entry;
    }
    write_profile_key(kSettingsTopic, "subnets", subnets.c_str());
    write_profile_key(kSettingsTopic, "autoscan", FlagText(autoScan));
    write_profile_key(kSettingsTopic, "scansubnet", FlagText(scanRange));
    write_profile_key(kSettingsTopic, "scan10", FlagText(scanDefaultAddress));
    write_profile_key(kSettingsTopic, "selsubnet", subnet.c_str());
    const std::string range = std::to_string(firstHost) + ";" + std::to_string(lastHost);
    write_profile_key(kSettingsTopic, "subnetrange", range.c_str());
    return close_profile() != 0;
}

void CopyToWindow(const AppSettings& app, ScanSettings& window, const InterfaceAddressSource& addresses)
{
    window.firstHost = app.firstHost;
    window.lastHost = app.lastHost;
    window.subnet = app.subnet;
    window.scanDefaultAddress = app.scanDefaultAddress ? 1 : 0;
    window.scanRange = app.scanRange ? 1 : 0;
    window.autoScan = app.autoScan ? 1 : 0;
    window.useHttps = app.useHttps ? 1 : 0;
    // Every run starts with the adapters' factory login; it is never stored.
    const scan::Login factory;
    window.user = factory.user;
    window.password = factory.password;

    window.storedSubnets.clear();
    DetectLocalNetworks(window.storedSubnets, addresses);
    for (const std::string& stored : app.storedSubnets) {
        if (!Contains(window.storedSubnets, stored))
            window.storedSubnets.push_back(stored);
    }
    if (window.subnet.empty() && !window.storedSubnets.empty())
        window.subnet = window.storedSubnets.front();
}

void CopyFromWindow(AppSettings& app, const ScanSettings& window)
{
    app.firstHost = window.firstHost;
    app.lastHost = window.lastHost;
    app.subnet = window.subnet;
    app.storedSubnets = window.storedSubnets;
    app.autoScan = window.autoScan != 0;
    app.scanRange = window.scanRange != 0;
    app.scanDefaultAddress = window.scanDefaultAddress != 0;
    app.useHttps = window.useHttps != 0;
}

void ApplyDialogSettings(ScanSettings& window, const ScanSettings& dialog)
{
    window.firstHost = dialog.firstHost;
    window.lastHost = dialog.lastHost;
    window.subnet = dialog.subnet;
    window.scanDefaultAddress = dialog.scanDefaultAddress;
    window.autoScan = dialog.autoScan;
    window.scanRange = dialog.scanRange;
    window.password = dialog.password;
    window.user = dialog.user;
    window.useHttps = dialog.useHttps;
    if (!window.subnet.empty() && !Contains(window.storedSubnets, window.subnet))
        window.storedSubnets.push_back(window.subnet);
}

scan::SearchPlan SearchPlanOf(const ScanSettings& settings)
{
    scan::SearchPlan plan;
    plan.scanDefaultAddress = settings.scanDefaultAddress == 1;
    plan.scanRange = settings.scanRange == 1;
    plan.networks.SetHostRange(settings.firstHost, settings.lastHost);
    if (const auto network = scan::NetworkOfSubnetText(settings.subnet))
        plan.networks.Add(*network);
    plan.login = {settings.user, settings.password, settings.useHttps != 0};
    return plan;
}
