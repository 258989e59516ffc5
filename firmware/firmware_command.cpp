#include "firmware/firmware_command.h"

#include "firmware/update_check.h"
#include "resources/string_table.h"
#include "support/text/strings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using trawlix::TextId;

// A string-table text with its places filled. The values come from adapters and the vendor's page,
// so they are inserted as text, never used as a format.
std::string Fill(TextId id, const std::vector<std::string>& values)
{
    return FillPlaces(trawlix::LoadString(id), values);
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
    return ui.AskYesNo(Fill(TextId::OtherOem, {std::to_string(adapterOem), std::to_string(toolOem)})) ==
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
            dialog.title = trawlix::LoadString(TextId::DownloadTitle);
            dialog.message = Fill(TextId::MessageWithoutTool, {record->firmware, record->latestFirmware});
            dialog.downloadText = Fill(TextId::DownloadButton, {record->latestFirmware});
            dialog.showDownload = true;
            dialog.iconId = FirmwareCommandUi::kInformationIcon;
            if (ui.AskFirmware(dialog) != FirmwareCommandUi::kDownload)
                return;
            if (!ui.OpenUrl(FirmwareDownloadUrl(context.vendorHost, *record, record->jsonApi)))
                return;
            ui.Warn(record->jsonApi ? Fill(TextId::AfterTarDownload, {PaddedOem(record->oem)})
                                    : Fill(TextId::AfterZipDownload, {record->oem}));
        } else if (record->updateState == 0) {
            ui.Warn("This box should not appear!");
        }
        return;
    }

    const int toolOem = FlashToolOem(tool);
    const std::string localVersion = LocalFirmwareVersion(tool, record->deviceId, record->firmware);
    if (record->updateState == 1) {
        FirmwareCommandUi::FirmwareDialog dialog;
        dialog.title = trawlix::LoadString(TextId::DownloadOrUpdateTitle);
        dialog.message = Fill(TextId::MessageWithTool, {record->firmware, localVersion, record->latestFirmware});
        dialog.downloadText = Fill(TextId::DownloadButton, {record->latestFirmware});
        dialog.updateText = Fill(TextId::UpdateButton, {localVersion});
        dialog.showDownload = true;
        dialog.showUpdate = true;
        dialog.iconId = FirmwareCommandUi::kInformationIcon;
        const int choice = ui.AskFirmware(dialog);
        if (choice == FirmwareCommandUi::kDownload) {
            if (ui.OpenUrl(FirmwareDownloadUrl(context.vendorHost, *record, false)))
                ui.Warn(Fill(TextId::AfterZipDownload, {record->oem}));
        } else if (choice == FirmwareCommandUi::kUpdate) {
            if (OemCheckPasses(*record, toolOem, ui))
                LaunchAgainst(tool, record->ip, ui);
        }
        return;
    }
    if (record->updateState == 0) {
        if (LeadingNumber(localVersion) < LeadingNumber(record->firmware)) {
            FirmwareCommandUi::FirmwareDialog dialog;
            dialog.title = trawlix::LoadString(TextId::UpdateTitle);
            dialog.message = Fill(TextId::Downgrade, {record->firmware, localVersion});
            dialog.updateText = Fill(TextId::UpdateButton, {localVersion});
            dialog.showUpdate = true;
            dialog.iconId = FirmwareCommandUi::kWarningIcon;
            if (ui.AskFirmware(dialog) == FirmwareCommandUi::kCancel)
                return;
        }
        if (OemCheckPasses(*record, toolOem, ui))
            LaunchAgainst(tool, record->ip, ui);
    }
}
