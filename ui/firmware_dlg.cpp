#include "ui/firmware_dlg.h"

#include "ui/framework/app_message.h"
#include "ui/framework/utf8_text.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

using trawlix::ui::FromUtf8;

namespace {

constexpr int kFirmwareTemplate = 131;
constexpr int kDownloadButton = 1;
constexpr int kUpdateButton = 1007;
constexpr int kMessage = 1008;
constexpr int kIcon = 1009;

} // namespace

CFirmwareDlg::CFirmwareDlg(QString title, QString downloadText, QString updateText, QString message, bool showDownload,
                           bool showUpdate, int iconId, QWidget* parent)
    : TemplateDialog(kFirmwareTemplate, parent), title_(std::move(title)), downloadText_(std::move(downloadText)),
      updateText_(std::move(updateText)), message_(std::move(message)), showDownload_(showDownload),
      showUpdate_(showUpdate), iconId_(iconId)
{}

CFirmwareDlg::CFirmwareDlg(const FirmwareCommandUi::FirmwareDialog& dialog, QWidget* parent)
    : CFirmwareDlg(FromUtf8(dialog.title), FromUtf8(dialog.downloadText), FromUtf8(dialog.updateText),
                   FromUtf8(dialog.message), dialog.showDownload, dialog.showUpdate, dialog.iconId, parent)
{}

bool CFirmwareDlg::OnInitDialog()
{
    const bool result = TemplateDialog::OnInitDialog();
    if (auto* download = ControlAs<QPushButton>(kDownloadButton))
        download->setText(downloadText_);
    if (auto* update = ControlAs<QPushButton>(kUpdateButton))
        update->setText(updateText_);
    if (!showUpdate_ && Control(kUpdateButton) != nullptr)
        Control(kUpdateButton)->hide();
    if (!showDownload_ && Control(kDownloadButton) != nullptr)
        Control(kDownloadButton)->hide();
    if (auto* message = ControlAs<QLabel>(kMessage))
        message->setText(message_);
    // An id the program has no image for leaves the information sign of the template.
    const QIcon icon = trawlix::ui::LoadResourceImage(iconId_);
    if (auto* label = ControlAs<QLabel>(kIcon); label != nullptr && !icon.isNull())
        label->setPixmap(icon.pixmap(32, 32));
    setWindowTitle(title_);
    return result;
}

void CFirmwareDlg::OnCommand(int id)
{
    if (id == kUpdateButton)
        EndDialog(kUpdateButton);
    else
        TemplateDialog::OnCommand(id);
}

int FirmwareCommandScreen::AskFirmware(const FirmwareDialog& dialog)
{
    CFirmwareDlg dlg(dialog, parent_);
    return dlg.exec();
}

void FirmwareCommandScreen::Warn(const std::string& text)
{
    trawlix::ui::AppMessageBox(parent_, FromUtf8(text), trawlix::ui::MessageButtons::Ok,
                               trawlix::ui::MessageIcon::Warning);
}

int FirmwareCommandScreen::AskYesNo(const std::string& text)
{
    return trawlix::ui::AppMessageBox(parent_, FromUtf8(text), trawlix::ui::MessageButtons::YesNo,
                                      trawlix::ui::MessageIcon::Warning) == trawlix::ui::kIdYes
               ? kYes
               : kNo;
}

bool FirmwareCommandScreen::OpenUrl(const std::string& url)
{
    return QDesktopServices::openUrl(QUrl(FromUtf8(url)));
}

bool FirmwareCommandScreen::StartProcess(const std::string& program, const std::vector<std::string>& arguments)
{
    return StartDetachedProcess(program, arguments);
}
