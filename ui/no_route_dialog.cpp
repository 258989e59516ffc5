#include "ui/no_route_dialog.h"

#include "ui/framework/app_message.h"
#include "ui/framework/data_exchange.h"

namespace {

constexpr int kIdDontShowAgain = 1010;

} // namespace

CNoRoute::CNoRoute(QWidget* parent) : TemplateDialog(146, parent) {}

void CNoRoute::DoDataExchange(trawlix::ui::DataExchange& dx)
{
    dx.Check(kIdDontShowAgain, dontShowAgain);
}

void CNoRoute::OnOK()
{
    UpdateData(true);
    EndDialog(trawlix::ui::kIdOk);
}
