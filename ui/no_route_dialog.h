#pragma once

#include "ui/framework/template_dialog.h"

// The "No route?" hint after a search that could not reach the factory address: the program
// lacks the right to add the route for it. The user may silence the hint for the rest of the run.
class CNoRoute final : public trawlix::ui::TemplateDialog
{
    Q_OBJECT
public:
    explicit CNoRoute(QWidget* parent = nullptr);

    // "Don't show this message again.", 0 or 1; read back from the check box on OK only.
    int dontShowAgain = 0;

protected:
    void DoDataExchange(trawlix::ui::DataExchange& dx) override;
    void OnOK() override;
};
