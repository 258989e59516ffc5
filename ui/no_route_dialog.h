#pragma once

#include "app/host_route.h"
#include "ui/framework/template_dialog.h"

#include <functional>
#include <string>

class QDialog;
class QObject;

// Runs the route helper for an interface as root, through pkexec, in the background: the window
// keeps painting while the system asks for the password. `finished` gets the exit status (the
// helper's, or pkexec's 126 when the password prompt was dismissed and 127 when the system did not
// authorise it), or -1 when pkexec could not be started; it is not called once `owner` is gone.
using RouteHelperLauncher =
    std::function<void(QObject* owner, const std::string& interfaceName, std::function<void(int status)> finished)>;

// /usr/bin/pkexec with FactoryRouteCommand.
[[nodiscard]] RouteHelperLauncher PkexecRouteHelper();

// What the main window uses for the factory address's route: the routing table (at start and after
// a search) and the helper behind the hint's button.
struct FactoryRouteAccess
{
    HostRouteSystem system;
    RouteHelperLauncher helper = PkexecRouteHelper();
};

// The "No route?" hint after a search that found nothing at the factory address while the routing
// table has no direct route to it: names the interface the route would go through and offers to
// add it (the system asks for an administrator password). The user may silence the hint for the
// rest of the run.
class CNoRoute final : public trawlix::ui::TemplateDialog
{
    Q_OBJECT
public:
    // Button 1012; also the dialog's result once the route is in place.
    static constexpr int kIdAddRoute = 1012;
    static constexpr int kIdRouteText = 1011;
    static constexpr int kIdOutcome = 1013;

    // `interfaceName`: the interface the route would go through; empty when no wired interface
    // has a link, and the button is then off.
    explicit CNoRoute(std::string interfaceName = {}, RouteHelperLauncher addRoute = {}, QWidget* parent = nullptr);

    // "Don't show this message again.", 0 or 1; read back from the check box on OK and after the
    // route was added only.
    int dontShowAgain = 0;

protected:
    void DoDataExchange(trawlix::ui::DataExchange& dx) override;
    void OnOK() override;

private:
    void OnAddRoute();
    void OnHelperFinished(int status);

    std::string interfaceName_;
    RouteHelperLauncher addRoute_;
};

// The hint at the end of a search, run once the window is idle again: shown when ShouldShowNoRoute
// holds for the routing table as it is now, closed with `window`. Returns true when the route was
// added from it; the window then searches again.
bool RunNoRouteHint(QDialog* window, const FactoryRouteAccess& access, bool defaultAddressFound,
                    bool scanDefaultAddress, bool& suppressNoRoute);
