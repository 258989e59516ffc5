#include "ui/trawlix_app.h"

#include "firmware/update_check.h"
#include "net/http_client.h"
#include "probe/job_probes.h"
#include "resources/string_table.h"
#include "support/text/system.h"
#include "support/trace/xdbg_message_box.h"
#include "ui/firmware_dlg.h"
#include "ui/framework/gui_queue_bridge.h"
#include "ui/framework/qt_translations.h"
#include "ui/framework/template_dialog.h"
#include "ui/trawlix_dlg.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QThread>
#include <QTranslator>

#include <memory>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Signals are turned into a byte on a pipe that the GUI thread watches, so the window is closed
// by its own thread, the way its close box closes it.
int g_signalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int signal)
{
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (g_signalPipe[1] >= 0)
        (void)!::write(g_signalPipe[1], &byte, 1);
}

bool InstallTerminationSignals()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    return true;
}

QIcon ProgramImage(int id)
{
    const QString path = QStringLiteral(":/icons/%1.svg").arg(id);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

// The trace's message box on the GUI thread, whichever thread reports.
XDbgBoxAnswer TraceBox(const jwin::MessageQueue::Handle& gui, const char* caption, const char* text)
{
    XDbgBoxAnswer answer = XDbgBoxAnswer::Ignore;
    auto show = [&] {
        const auto button =
            QMessageBox::critical(nullptr, QString::fromUtf8(caption), QString::fromUtf8(text),
                                  QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::Ignore);
        answer = button == QMessageBox::Abort   ? XDbgBoxAnswer::Abort
                 : button == QMessageBox::Retry ? XDbgBoxAnswer::Retry
                                                : XDbgBoxAnswer::Ignore;
    };
    if (QThread::currentThread() == QCoreApplication::instance()->thread() || !gui)
        show();
    else
        gui->Send(show);
    return answer;
}

} // namespace

CTrawlixApp::CTrawlixApp(std::string settingsPath, std::string toolFolder)
    : settingsPath_(std::move(settingsPath)), toolFolder_(std::move(toolFolder))
{}

void CTrawlixApp::InitInstance()
{
    trawlix::SetLanguage(trawlix::LanguageFromEnvironment());
    net::HttpGlobalInit();
    trawlix::ui::SetResourceImageLoader(ProgramImage);
    settings_.Load(settingsPath_);
}

void CTrawlixApp::ExitInstance()
{
    // A settings file that cannot be written loses this run's settings, without a message.
    (void)settings_.Save(settingsPath_);
}

int CTrawlixApp::Run(QApplication& application)
{
    InitInstance();
    // Qt's own dialogs and buttons speak the language of the program's texts.
    const std::unique_ptr<QTranslator> qtTexts = trawlix::ui::InstallQtTranslations(trawlix::CurrentLanguage());
    application.setWindowIcon(ProgramImage(155));
    trawlix::ui::GuiQueueBridge bridge;
    const jwin::MessageQueue::Handle gui = bridge.Queue();
    XDbgSetMessageBoxHook([gui](const char* caption, const char* text) { return TraceBox(gui, caption, text); });

    {
        ProbeConfig probes;
        if (!settings_.updateServer.empty())
            probes.updateServer = settings_.updateServer;
        const std::string vendorHost = probes.updateServer;

        CTrawlixDlg window(settings_, MakeSearchProbes(probes));
        window.updateFirmwareCommand = [&window, vendorHost, toolFolder = toolFolder_] {
            FirmwareCommandScreen screen(&window);
            FirmwareCommandContext context;
            context.selected = window.SelectedRecord();
            context.tool = &window.FlashTool();
            context.toolFolder = toolFolder;
            context.vendorHost = vendorHost;
            OnUpdateFirmware(context, screen);
        };

        std::unique_ptr<QSocketNotifier> signalNotifier;
        if (InstallTerminationSignals()) {
            signalNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
            QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &window, [&window] {
                unsigned char byte = 0;
                while (::read(g_signalPipe[0], &byte, 1) == 1) {
                }
                // Boxes and dialogs the window opened are cancelled first, then the window closes
                // as its close box closes it: the search is stopped and the settings are saved.
                for (QWidget* widget : QApplication::topLevelWidgets()) {
                    auto* dialog = qobject_cast<QDialog*>(widget);
                    if (dialog != nullptr && dialog != &window && dialog->isVisible())
                        dialog->reject();
                }
                window.reject();
            });
        }
        window.exec();
    }
    XDbgSetMessageBoxHook({});
    ExitInstance();
    return 0;
}
