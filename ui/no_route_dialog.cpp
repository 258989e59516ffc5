#include "ui/no_route_dialog.h"

#include "resources/string_table.h"
#include "support/text/strings.h"
#include "ui/framework/app_message.h"
#include "ui/framework/data_exchange.h"
#include "ui/framework/utf8_text.h"

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>

#include <utility>

using trawlix::LoadString;
using trawlix::TextId;
using trawlix::ui::FromUtf8;

namespace {

constexpr int kIdDontShowAgain = 1010;

// pkexec's own exit statuses.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorised = 127;

QString Text(TextId id, const std::vector<std::string>& places = {})
{
    return FromUtf8(FillPlaces(LoadString(id), places));
}

} // namespace

RouteHelperLauncher PkexecRouteHelper()
{
    return [](QObject* owner, const std::string& interfaceName, std::function<void(int)> finished) {
        const std::vector<std::string> command = FactoryRouteCommand(interfaceName);
        // The process outlives a dialog closed meanwhile: pkexec and the helper end by themselves,
        // and a root process could not be stopped from here anyway.
        auto* process = new QProcess;
        process->setProgram(QString::fromLocal8Bit(command.front()));
        QStringList arguments;
        for (std::size_t i = 1; i < command.size(); ++i)
            arguments << QString::fromLocal8Bit(command[i]);
        process->setArguments(arguments);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->setStandardInputFile(QProcess::nullDevice());
        const QPointer<QObject> guard(owner);
        auto report = [guard, finished = std::move(finished)](int status) {
            if (guard && finished)
                finished(status);
        };
        QObject::connect(process, &QProcess::finished, process, [process, report](int code, QProcess::ExitStatus how) {
            process->deleteLater();
            report(how == QProcess::NormalExit ? code : static_cast<int>(net::RouteHelperExit::Failed));
        });
        QObject::connect(process, &QProcess::errorOccurred, process, [process, report](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            process->deleteLater();
            report(-1);
        });
        process->start();
    };
}

CNoRoute::CNoRoute(std::string interfaceName, RouteHelperLauncher addRoute, QWidget* parent)
    : TemplateDialog(146, parent), interfaceName_(std::move(interfaceName)), addRoute_(std::move(addRoute))
{
    if (auto* text = ControlAs<QLabel>(kIdRouteText))
        text->setText(interfaceName_.empty() ? Text(TextId::RouteNoWiredLink)
                                             : Text(TextId::RouteThrough, {interfaceName_}));
    if (QWidget* button = Control(kIdAddRoute))
        button->setEnabled(!interfaceName_.empty() && addRoute_);
    connect(this, &TemplateDialog::Command, this, [this](int id) {
        if (id == kIdAddRoute)
            OnAddRoute();
    });
}

void CNoRoute::DoDataExchange(trawlix::ui::DataExchange& dx)
{
    dx.Check(kIdDontShowAgain, dontShowAgain);
}

void CNoRoute::OnOK()
{
    UpdateData(true);
    EndDialog(trawlix::ui::kIdOk);
}

void CNoRoute::OnAddRoute()
{
    QWidget* button = Control(kIdAddRoute);
    if (button == nullptr || !button->isEnabled() || !addRoute_)
        return;
    button->setEnabled(false);
    if (auto* outcome = ControlAs<QLabel>(kIdOutcome))
        outcome->setText(Text(TextId::RouteWaiting));
    addRoute_(this, interfaceName_, [this](int status) { OnHelperFinished(status); });
}

void CNoRoute::OnHelperFinished(int status)
{
    using net::RouteHelperExit;
    if (status == static_cast<int>(RouteHelperExit::Added) ||
        status == static_cast<int>(RouteHelperExit::AlreadyPresent)) {
        UpdateData(true);
        EndDialog(kIdAddRoute);
        return;
    }
    QString text;
    if (status == kPkexecDismissed)
        text = Text(TextId::RouteCancelled);
    else if (status == kPkexecNotAuthorised)
        text = Text(TextId::RouteNotAuthorised);
    else if (status == static_cast<int>(RouteHelperExit::NoSuchInterface) ||
             status == static_cast<int>(RouteHelperExit::InterfaceDown))
        text = Text(TextId::RouteInterfaceUnusable, {interfaceName_});
    else if (status < 0)
        text = Text(TextId::RouteNoPkexec);
    else
        text = Text(TextId::RouteFailed, {std::to_string(status)});
    if (auto* outcome = ControlAs<QLabel>(kIdOutcome))
        outcome->setText(text);
    // Another try, after the password was mistyped or the cable plugged in.
    if (QWidget* button = Control(kIdAddRoute))
        button->setEnabled(true);
}

bool RunNoRouteHint(QDialog* window, const FactoryRouteAccess& access, bool defaultAddressFound,
                    bool scanDefaultAddress, bool& suppressNoRoute)
{
    // The table is read only when the rest holds.
    if (defaultAddressFound || !scanDefaultAddress || suppressNoRoute)
        return false;
    const FactoryRouteState route = CheckFactoryRoute(access.system);
    if (!ShouldShowNoRoute(defaultAddressFound, scanDefaultAddress, route.present, suppressNoRoute))
        return false;
    CNoRoute dialog(route.interfaceName, access.helper, window);
    if (window != nullptr)
        QObject::connect(window, &QDialog::finished, &dialog, &QDialog::reject);
    const int result = dialog.exec();
    if (result == trawlix::ui::kIdOk || result == CNoRoute::kIdAddRoute)
        suppressNoRoute = dialog.dontShowAgain != 0;
    return result == CNoRoute::kIdAddRoute;
}
