#include "firmware/firmware_command.h"

#include "firmware/update_check.h"
#include "resources/string_table.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Texts of the command.
constexpr int kTextMessageWithTool = 104;
constexpr int kTextDownloadTitle = 105;
constexpr int kTextDownloadButton = 106;
constexpr int kTextDownloadOrUpdateTitle = 107;
constexpr int kTextUpdateButton = 108;
constexpr int kTextMessageWithoutTool = 109;
constexpr int kTextAfterZipDownload = 110;
constexpr int kTextDowngrade = 111;
constexpr int kTextUpdateTitle = 112;
constexpr int kTextOtherOem = 132;
constexpr int kTextAfterTarDownload = 135;

// Fills the "%s" and "%d" places of a string-table text in order. The values come from adapters
// and the vendor's page, so they are inserted as text, never used as a format.
std::string Fill(int id, const std::vector<std::string>& values)
{
    const std::string format = trawlix::LoadString(id);
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 's' || format[i + 1] == 'd')) {
            out += next < values.size() ? values[next] : std::string();
            ++next;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

// Leading decimal number of a text ("%lf" rules), 0 without one.
double LeadingNumber(const std::string& text)
{
    double value = 0;
    return ReadVersionNumber(text, &value) ? value : 0;
}

// Leading decimal integer of a text (atoi rules, clamped to int), 0 without one.
int LeadingInteger(const std::string& text)
{
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value < 10'000'000'000LL)
            value = value * 10 + (*p - '0');
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int>(value);
}

// The tool was found, or confirmed by the user to flash another OEM's firmware.
bool OemCheckPasses(const DeviceRecord& record, int toolOem, FirmwareCommandUi& ui)
{
    const int adapterOem = LeadingInteger(record.oem);
    if (toolOem < 0 || toolOem == adapterOem)
        return true;
    return ui.AskYesNo(Fill(kTextOtherOem, {std::to_string(adapterOem), std::to_string(toolOem)})) ==
           FirmwareCommandUi::kYes;
}

bool LaunchAgainst(const FlashToolState& tool, const std::string& ip, FirmwareCommandUi& ui)
{
    return LaunchFlashTool(tool, ip, [&ui](const std::string& program, const std::vector<std::string>& arguments) {
        return ui.StartProcess(program, arguments);
    });
}

} // namespace

std::string PaddedOem(const std::string& oem)
{
    return oem.size() >= 3 ? oem : std::string(3 - oem.size(), '0') + oem;
}

std::string FirmwareDownloadUrl(const std::string& vendorHost, const DeviceRecord& record, bool lx400Archive)
{
    if (lx400Archive)
        return "http://" + vendorHost + "/ovweb/lx400/update" + PaddedOem(record.oem) + ".tar.gz";
    return "http://" + vendorHost + "/firmcast/update" + record.oem + ".zip";
}

bool UpdateFirmwareEnabled(const DeviceRecord* record, bool flashToolFound)
{
    if (record == nullptr)
        return flashToolFound;
    if (record->updateState == 1)
        return true;
    return record->updateState == 0 && flashToolFound && !record->jsonApi;
}

void OnUpdateFirmware(const FirmwareCommandContext& context, FirmwareCommandUi& ui)
{
    FlashToolState scratch;
    FlashToolState& tool = context.tool != nullptr ? *context.tool : scratch;
    const DeviceRecord* record = context.selected;
    if (context.toolFolder.empty())
        FindFlashTool(tool, record);
    else
        FindFlashTool(tool, record, context.toolFolder);

    if (record == nullptr) {
        LaunchAgainst(tool, {}, ui);
        return;
    }
    if (record->updateState == 2)
        return;

    // The flashing tool updates legacy adapters only: for an LX400 it is as if there were none.
    const bool toolUsable = tool.flashToolFound && !record->jsonApi;
    if (!toolUsable) {
        if (record->updateState == 1) {
            FirmwareCommandUi::FirmwareDialog dialog;
            dialog.title = trawlix::LoadString(kTextDownloadTitle);
            dialog.message = Fill(kTextMessageWithoutTool, {record->firmware, record->latestFirmware});
            dialog.downloadText = Fill(kTextDownloadButton, {record->latestFirmware});
            dialog.showDownload = true;
            dialog.iconId = FirmwareCommandUi::kInformationIcon;
            if (ui.AskFirmware(dialog) != FirmwareCommandUi::kDownload)
                return;
            if (!ui.OpenUrl(FirmwareDownloadUrl(context.vendorHost, *record, record->jsonApi)))
                return;
            ui.Warn(record->jsonApi ? Fill(kTextAfterTarDownload, {PaddedOem(record->oem)})
                                    : Fill(kTextAfterZipDownload, {record->oem}));
        } else if (record->updateState == 0) {
            ui.Warn("This box should not appear!");
        }
        return;
    }

    const int toolOem = FlashToolOem(tool);
    const std::string localVersion = LocalFirmwareVersion(tool, record->deviceId, record->firmware);
    if (record->updateState == 1) {
        FirmwareCommandUi::FirmwareDialog dialog;
        dialog.title = trawlix::LoadString(kTextDownloadOrUpdateTitle);
        dialog.message = Fill(kTextMessageWithTool, {record->firmware, localVersion, record->latestFirmware});
        dialog.downloadText = Fill(kTextDownloadButton, {record->latestFirmware});
        dialog.updateText = Fill(kTextUpdateButton, {localVersion});
        dialog.showDownload = true;
        dialog.showUpdate = true;
        dialog.iconId = FirmwareCommandUi::kInformationIcon;
        const int choice = ui.AskFirmware(dialog);
        if (choice == FirmwareCommandUi::kDownload) {
            if (ui.OpenUrl(FirmwareDownloadUrl(context.vendorHost, *record, false)))
                ui.Warn(Fill(kTextAfterZipDownload, {record->oem}));
        } else if (choice == FirmwareCommandUi::kUpdate) {
            if (OemCheckPasses(*record, toolOem, ui))
                LaunchAgainst(tool, record->ip, ui);
        }
        return;
    }
    if (record->updateState == 0) {
        if (LeadingNumber(localVersion) < LeadingNumber(record->firmware)) {
            FirmwareCommandUi::FirmwareDialog dialog;
            dialog.title = trawlix::LoadString(kTextUpdateTitle);
            dialog.message = Fill(kTextDowngrade, {record->firmware, localVersion});
            dialog.updateText = Fill(kTextUpdateButton, {localVersion});
            dialog.showUpdate = true;
            dialog.iconId = FirmwareCommandUi::kWarningIcon;
            if (ui.AskFirmware(dialog) == FirmwareCommandUi::kCancel)
                return;
        }
        if (OemCheckPasses(*record, toolOem, ui))
            LaunchAgainst(tool, record->ip, ui);
    }
}
