#pragma once

#include "ui/framework/template_dialog.h"

#include <QString>

// The About box: the program icon, its description and version, and the copyright notice, all
// read at run time from the version data built into the program's own file.
class CAboutDlg final : public trawlix::ui::TemplateDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // LegalCopyright.
    QString copyrightLine;
    // FileDescription " - " FileVersion; a missing value leaves its side empty.
    QString descriptionLine;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(trawlix::ui::DataExchange& dx) override;
};
