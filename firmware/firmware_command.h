#pragma once

#include "firmware/flash_tool.h"
#include "scan/record/device_record.h"

#include <string>
#include <vector>

// What the Update Firmware command asks of the screen and the desktop. The program shows the
// firmware dialog and message boxes and opens addresses in the browser; tests answer instead.
class FirmwareCommandUi
{
public:
    // Results of the firmware dialog.
    static constexpr int kDownload = 1;
    static constexpr int kCancel = 2;
    static constexpr int kUpdate = 1007;
    // Results of a Yes/No box.
    static constexpr int kYes = 6;
    static constexpr int kNo = 7;

    // Icons of the firmware dialog.
    static constexpr int kInformationIcon = 143;
    static constexpr int kWarningIcon = 144;

    struct FirmwareDialog
    {
        std::string title;
        std::string downloadText;
        std::string updateText;
        std::string message;
        bool showDownload = false;
        bool showUpdate = false;
        int iconId = kInformationIcon;
    };

    virtual ~FirmwareCommandUi() = default;
    // Runs the firmware dialog; kDownload, kUpdate or kCancel.
    virtual int AskFirmware(const FirmwareDialog& dialog) = 0;
    // An OK box with the exclamation icon.
    virtual void Warn(const std::string& text) = 0;
    // A Yes/No box with the exclamation icon; kYes or kNo.
    virtual int AskYesNo(const std::string& text) = 0;
    // Opens an address in the browser; true when the desktop took it.
    virtual bool OpenUrl(const std::string& url) = 0;
    // Starts a program (the flashing tool); true when it started.
    virtual bool StartProcess(const std::string& program, const std::vector<std::string>& arguments) = 0;
};

// Where the command looks and what it reaches.
struct FirmwareCommandContext
{
    // The record of the selected row; null when no row is selected or it holds no record.
    const DeviceRecord* selected = nullptr;
    // The main window's tool state, refreshed here.
    FlashToolState* tool = nullptr;
    // Folder searched for the flashing tool (the program's own folder).
    std::string toolFolder;
    // The vendor's web server, host of the download addresses.
    std::string vendorHost;
};

// The Update Firmware command for the selected adapter: download the newest firmware in the
// browser, start the flashing tool against the adapter, or both, with the downgrade and OEM
// warnings in front of the tool.
void OnUpdateFirmware(const FirmwareCommandContext& context, FirmwareCommandUi& ui);

// Download address of a record's firmware (with "http://"): the legacy ".zip" or the LX400
// ".tar.gz" with the OEM padded to three characters.
[[nodiscard]] std::string FirmwareDownloadUrl(const std::string& vendorHost, const DeviceRecord& record,
                                              bool lx400Archive);

// The OEM text padded on the left with '0' to at least three characters ("16" gives "016").
[[nodiscard]] std::string PaddedOem(const std::string& oem);

// Whether Update Firmware is offered for a row: with a record, newer firmware on the vendor's
// server, or an up-to-date legacy adapter when the flashing tool is there (the tool updates
// legacy adapters only); without a record, when the tool is there.
[[nodiscard]] bool UpdateFirmwareEnabled(const DeviceRecord* record, bool flashToolFound);
