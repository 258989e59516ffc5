#include "ui/program_start.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>
#include <utility>

#ifndef TRAWLIX_VERSION
#error "TRAWLIX_VERSION is set by the build"
#endif

namespace trawlix::ui {
namespace {

// The manual page is made from this text, so it is written the way help2man reads it: a usage
// line, the options indented by two blanks, and titled paragraphs for the rest.
constexpr const char* kHelp =
    "Usage: trawlix [OPTION]...\n"
    "Searches a network of this computer (chosen in the settings) and the factory address\n"
    "10.10.10.10 for UPS network adapters and lists them with their firmware and its update state.\n"
    "From the list it opens an adapter's web page, downloads newer firmware from the vendor's web\n"
    "server, or starts the vendor's flashing tool. trawlix-scan searches from a terminal.\n"
    "\n"
    "Options:\n"
    "  --help                      print this help and exit\n"
    "  --version                   print the version and exit\n"
    "Qt's own options work as well, among them -platform NAME and -display DISPLAY.\n"
    "\n"
    "Exit status: 0 when the window was closed, 1 when no display could be opened.\n"
    "\n"
    "Environment:\n"
    "  DISPLAY, WAYLAND_DISPLAY    the display the window opens on\n"
    "  LC_ALL, LC_MESSAGES, LANG   German texts when the first of them that is set starts with\n"
    "                              \"de\", English otherwise\n"
    "  XDG_CONFIG_HOME             the folder of per-user settings, ~/.config when unset\n"
    "\n"
    "Files:\n"
    "  trawlix.ini                 the settings, beside the program; for an installed program (in\n"
    "                              /usr, or in a folder it cannot write) in ~/.config/trawlix/\n"
    "  firmcaster.exe              the vendor's flashing tool (recognised by its version data,\n"
    "                              under any name) with its firmcast.ini and firmware folders, in\n"
    "                              the folder of trawlix.ini: ~/.config/trawlix/ for an installed\n"
    "                              program, else beside the program\n"
    "  /etc/jalvex/debug.ini       the diagnostic trace, topic [Debug]\n";

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The value of a Qt option given as "-name value", "--name value" or "-name=value".
std::string OptionValue(const std::vector<std::string>& args, const std::string& name, bool* given)
{
    *given = false;
    std::string value;
    for (std::size_t i = 0; i < args.size(); ++i) {
        for (const std::string& form : {"-" + name, "--" + name}) {
            if (args[i] == form && i + 1 < args.size()) {
                value = args[i + 1];
                *given = true;
            } else if (args[i].rfind(form + "=", 0) == 0) {
                value = args[i].substr(form.size() + 1);
                *given = true;
            }
        }
    }
    return value;
}

// What the guard needs in its message handler, which is a plain function.
struct HeldMessage
{
    QtMsgType type;
    QString text;
};
struct GuardState
{
    QtMessageHandler previous = nullptr;
    std::string noDisplayLine;
    std::vector<HeldMessage> held;
};
std::unique_ptr<GuardState> g_guard;

void HoldOrEnd(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        g_guard->held.push_back({type, message});
        return;
    }
    (void)context;
    // Qt aborts after a fatal message; the program ends here instead, with one line.
    std::string line;
    if (message.contains(QStringLiteral("platform plugin"), Qt::CaseInsensitive))
        line = g_guard->noDisplayLine;
    else
        line = "trawlix: " + message.section(QLatin1Char('\n'), 0, 0).toStdString();
    line += '\n';
    (void)!::write(STDERR_FILENO, line.data(), line.size());
    ::_exit(1);
}

} // namespace

std::optional<std::string> EarlyAnswer(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h")
            return std::string(kHelp);
        if (arg == "--version")
            return std::string("trawlix " TRAWLIX_VERSION "\n");
    }
    return std::nullopt;
}

DisplayEnvironment DisplayEnvironmentOf(const std::vector<std::string>& args)
{
    DisplayEnvironment environment;
    bool given = false;
    environment.platform = OptionValue(args, "platform", &given);
    if (!given)
        environment.platform = Environment("QT_QPA_PLATFORM");
    environment.x11Display = OptionValue(args, "display", &given);
    if (!given)
        environment.x11Display = Environment("DISPLAY");
    environment.waylandDisplay = Environment("WAYLAND_DISPLAY");
    return environment;
}

std::string NoDisplayLine(const DisplayEnvironment& environment)
{
    const std::string& platform = environment.platform;
    // Qt's platform may be a list ("wayland;xcb"); the X11 part is named by the display it tried.
    const bool x11 = platform.empty() || platform.find("xcb") != std::string::npos;
    const bool wayland =
        platform.find("wayland") != std::string::npos || (platform.empty() && !environment.waylandDisplay.empty());
    std::string tried;
    if (x11 && !environment.x11Display.empty())
        tried = "the X display \"" + environment.x11Display + "\"";
    if (wayland) {
        const std::string name = environment.waylandDisplay.empty() ? "wayland-0" : environment.waylandDisplay;
        tried += (tried.empty() ? "" : " or ") + std::string("the Wayland display \"") + name + "\"";
    }
    if (!tried.empty())
        return "trawlix: cannot open " + tried;
    if (x11)
        return "trawlix: no display to open: DISPLAY is not set (trawlix-scan searches without one)";
    return "trawlix: the Qt platform \"" + platform + "\" could not be started";
}

PlatformStartGuard::PlatformStartGuard(std::string noDisplayLine)
{
    g_guard = std::make_unique<GuardState>();
    g_guard->noDisplayLine = std::move(noDisplayLine);
    g_guard->previous = qInstallMessageHandler(HoldOrEnd);
}

PlatformStartGuard::~PlatformStartGuard()
{
    const QtMessageHandler previous = g_guard->previous;
    qInstallMessageHandler(previous);
    std::vector<HeldMessage> held = std::move(g_guard->held);
    g_guard.reset();
    // A start that worked may still have had something to say.
    for (const HeldMessage& message : held) {
        const QByteArray text = message.text.toLocal8Bit();
        switch (message.type) {
        case QtDebugMsg:
            qDebug("%s", text.constData());
            break;
        case QtInfoMsg:
            qInfo("%s", text.constData());
            break;
        case QtWarningMsg:
            qWarning("%s", text.constData());
            break;
        default:
            qCritical("%s", text.constData());
            break;
        }
    }
}

} // namespace trawlix::ui
