#include "ui/about_dialog.h"

#include "support/text/version_info.h"
#include "ui/framework/data_exchange.h"
#include "ui/framework/utf8_text.h"

#include <QLabel>

using trawlix::ui::FromUtf8;

namespace {

constexpr int kIdDescription = 1005;
constexpr int kIdCopyright = 1006;

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : TemplateDialog(100, parent) {}

bool CAboutDlg::OnInitDialog()
{
    TemplateDialog::OnInitDialog();
    {
        // Without a module the first query loads the program's own file; the data goes with
        // the object at the end of this block.
        CJVersionInfo version;
        copyrightLine = FromUtf8(version.LegalCopyright());
        descriptionLine = FromUtf8(version.FileDescription()) + QStringLiteral(" - ") + FromUtf8(version.FileVersion());
    }
    UpdateData(false);
    return true;
}

void CAboutDlg::DoDataExchange(trawlix::ui::DataExchange& dx)
{
    // Static texts are only ever written.
    if (dx.IsSaving())
        return;
    for (const auto& [id, text] :
         {std::pair{kIdCopyright, &copyrightLine}, std::pair{kIdDescription, &descriptionLine}}) {
        dx.Control(id);
        if (auto* label = ControlAs<QLabel>(id))
            label->setText(*text);
    }
}
