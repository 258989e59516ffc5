#pragma once

#include "firmware/firmware_command.h"
#include "ui/framework/template_dialog.h"

#include <QString>

// The firmware decision dialog: an icon, a message and Download, Update and Cancel, of which the
// caller shows the ones that apply. exec() gives 1 (Download), 1007 (Update) or 2 (Cancel,
// Escape, close box).
class CFirmwareDlg final : public trawlix::ui::TemplateDialog
{
public:
    CFirmwareDlg(QString title, QString downloadText, QString updateText, QString message, bool showDownload,
                 bool showUpdate, int iconId, QWidget* parent = nullptr);
    // The dialog the Update Firmware command asks for (its texts are UTF-8).
    explicit CFirmwareDlg(const FirmwareCommandUi::FirmwareDialog& dialog, QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;

private:
    QString title_;
    QString downloadText_;
    QString updateText_;
    QString message_;
    bool showDownload_;
    bool showUpdate_;
    int iconId_;
};

// The command's screen and desktop in the running program: the dialog above, message boxes
// under the program's name, the browser through the desktop, and detached processes.
class FirmwareCommandScreen final : public FirmwareCommandUi
{
public:
    explicit FirmwareCommandScreen(QWidget* parent) : parent_(parent) {}

    int AskFirmware(const FirmwareDialog& dialog) override;
    void Warn(const std::string& text) override;
    int AskYesNo(const std::string& text) override;
    bool OpenUrl(const std::string& url) override;
    bool StartProcess(const std::string& program, const std::vector<std::string>& arguments) override;

private:
    QWidget* parent_;
};
