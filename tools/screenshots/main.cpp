// trawlix-screenshots: shows the program's windows under an X server (Xvfb in a private network
// namespace, see scripts/screenshots.sh) and saves what the screen shows: the main window after a
// search of the simulated network, with the device list's context menu open and enlarged, the
// settings dialog, the firmware dialog for the first adapter, the "No route?" dialog and the
// About box.
//   trawlix-screenshots OUTDIR en|de UPDATE-SERVER SUBNET
#include "app/app_settings.h"
#include "probe/job_probes.h"
#include "resources/string_table.h"
#include "ui/about_dialog.h"
#include "ui/firmware_dlg.h"
#include "ui/framework/gui_queue_bridge.h"
#include "ui/framework/qt_translations.h"
#include "ui/framework/template_dialog.h"
#include "ui/net_cfg_dialog.h"
#include "ui/no_route_dialog.h"
#include "ui/trawlix_dlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

void Settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

// The window as the X server shows it (there is no window manager, so no frame), rendered by
// the window itself so that the picture is never older than the window's last change.
bool Shoot(QWidget& window, const QString& file)
{
    window.show();
    window.raise();
    Settle(400);
    const bool saved = window.grab().save(file);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", file.toUtf8().constData());
    return saved;
}

// The window with the device list's context menu open on its second row, as the screen shows
// both (the menu is a window of its own).
bool ShootListMenu(CTrawlixDlg& window, const QString& file)
{
    QTreeView* list = window.List();
    const QModelIndex row = list->model()->index(1, 1);
    const QPoint at = list->visualRect(row).center();
    bool saved = false;
    QTimer::singleShot(400, &window, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        const QRect area =
            menu != nullptr ? window.frameGeometry().united(menu->frameGeometry()) : window.frameGeometry();
        saved =
            QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(file);
        if (menu != nullptr)
            menu->close();
    });
    // A right click's context menu event, which the list answers with its menu.
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &event);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", file.toUtf8().constData());
    return saved;
}

// The screen of the Update Firmware command for a picture: saves the firmware dialog the command
// asks for, then cancels, so nothing is downloaded or started.
class ShootingScreen final : public FirmwareCommandUi
{
public:
    explicit ShootingScreen(QWidget* parent, QString file) : parent_(parent), file_(std::move(file)) {}

    int AskFirmware(const FirmwareDialog& dialog) override
    {
        CFirmwareDlg dlg(dialog, parent_);
        shot = Shoot(dlg, file_);
        dlg.reject();
        return kCancel;
    }
    void Warn(const std::string&) override {}
    int AskYesNo(const std::string&) override { return kNo; }
    bool OpenUrl(const std::string&) override { return false; }
    bool StartProcess(const std::string&, const std::vector<std::string>&) override { return false; }

    bool shot = false;

private:
    QWidget* parent_;
    QString file_;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // The images are compiled into a static library; its resources are registered here.
    Q_INIT_RESOURCE(icons);
    if (argc != 5) {
        std::fprintf(stderr, "usage: trawlix-screenshots OUTDIR en|de UPDATE-SERVER SUBNET\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const std::string language = argv[2];
    trawlix::SetLanguage(language == "de" ? trawlix::Language::German : trawlix::Language::English);
    // Qt's own texts as the program shows them.
    const std::unique_ptr<QTranslator> qtTexts = trawlix::ui::InstallQtTranslations(trawlix::CurrentLanguage());
    trawlix::ui::SetResourceImageLoader([](int id) {
        const QString path = QStringLiteral(":/icons/%1.svg").arg(id);
        return QFile::exists(path) ? QIcon(path) : QIcon();
    });
    trawlix::ui::GuiQueueBridge bridge;

    AppSettings settings;
    settings.subnet = argv[4];
    settings.storedSubnets = {argv[4], "10.0.0.*"};
    settings.scanRange = true;
    settings.scanDefaultAddress = true;
    settings.autoScan = true;
    settings.firstStart = false;
    ProbeConfig probes;
    probes.updateServer = argv[3];

    const QString suffix = QStringLiteral("-%1.png").arg(QString::fromLatin1(argv[2]));
    bool ok = true;
    {
        // No route is changed and no browser opened from here: the routing table seems to reach
        // the factory address already, and nothing can add a route.
        FactoryRouteAccess route;
        route.system.links = [] { return net::LinkList{}; };
        route.system.lookup = [](std::uint32_t) { return net::RouteLookup{net::RouteLookup::Kind::Local, 1, 0}; };
        route.system.add = [](std::uint32_t, int) { return EPERM; };
        route.helper = {};
        CTrawlixDlg window(settings, MakeSearchProbes(probes), route, [](const QUrl&) { return true; });
        window.interfaceAddresses = [] { return std::vector<InterfaceAddress>{}; };
        window.show();
        // The automatic search starts once the window is up; wait for it to end.
        QElapsedTimer timer;
        timer.start();
        Settle(300);
        while (window.IsSearching() && timer.elapsed() < 60000)
            Settle(50);
        window.List()->setFocus();
        ok = Shoot(window, out + QStringLiteral("/main-window") + suffix) && ok;
        ok = ShootListMenu(window, out + QStringLiteral("/context-menu") + suffix) && ok;
        const QSize size = window.size();
        window.resize(size + QSize(240, 220));
        ok = Shoot(window, out + QStringLiteral("/main-window-large") + suffix) && ok;
        window.resize(size);

        CNetCfg settingsDialog(window.Settings(), &window);
        ok = Shoot(settingsDialog, out + QStringLiteral("/settings") + suffix) && ok;
        settingsDialog.reject();

        // The first row's adapter has newer firmware on the vendor's server; no flashing tool here.
        QTemporaryDir noTool;
        FlashToolState tool;
        ShootingScreen firmwareScreen(&window, out + QStringLiteral("/firmware") + suffix);
        FirmwareCommandContext context;
        context.selected = window.SelectedRecord();
        context.tool = &tool;
        context.toolFolder = noTool.path().toStdString();
        context.vendorHost = probes.updateServer;
        OnUpdateFirmware(context, firmwareScreen);
        ok = firmwareScreen.shot && ok;

        // A laptop's wired interface, as a technician's would be named.
        CNoRoute noRoute(
            "enp0s31f6", [](QObject*, const std::string&, std::function<void(int)>) {}, &window);
        ok = Shoot(noRoute, out + QStringLiteral("/no-route") + suffix) && ok;
        noRoute.reject();

        CAboutDlg about(&window);
        ok = Shoot(about, out + QStringLiteral("/about") + suffix) && ok;
        about.reject();
        window.reject();
    }
    return ok ? 0 : 1;
}
