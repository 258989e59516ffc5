// trawlix: the desktop program.
#include "app/open_file_limit.h"
#include "app/settings_location.h"
#include "app/trace_config_file.h"
#include "ui/program_start.h"
#include "ui/trawlix_app.h"

#include <QApplication>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // --help and --version answer without a display, so they work on any terminal (and make the
    // manual page at build time).
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (const std::optional<std::string> answer = trawlix::ui::EarlyAnswer(args)) {
        std::fputs(answer->c_str(), stdout);
        return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? 0 : 1;
    }
    // The diagnostic trace reads the machine's configuration file at its first report.
    XDbgSetConfigSource(app::TraceConfigFile());
    // The discovery knock of a search keeps up to half the open-file limit in flight.
    app::RaiseOpenFileLimit();
    std::optional<trawlix::ui::PlatformStartGuard> noDisplay(
        std::in_place, trawlix::ui::NoDisplayLine(trawlix::ui::DisplayEnvironmentOf(args)));
    QApplication application(argc, argv);
    noDisplay.reset();
    // The images are compiled into a static library; its resources are registered here.
    Q_INIT_RESOURCE(icons);
    QApplication::setApplicationName(QStringLiteral("Trawlix"));
    // Lets the desktop match the window with its menu entry (and icon) on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.trawlix.Trawlix"));
    const SettingsEnvironment environment = SystemSettingsEnvironment();
    CTrawlixApp app(SettingsFilePath(environment), FlashToolFolder(environment));
    return app.Run(application);
}
