// trawlix: the desktop program.
#include "app/open_file_limit.h"
#include "app/settings_location.h"
#include "app/trace_config_file.h"
#include "ui/trawlix_app.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // The diagnostic trace reads the machine's configuration file at its first report.
    XDbgSetConfigSource(app::TraceConfigFile());
    // The discovery knock of a search keeps up to half the open-file limit in flight.
    app::RaiseOpenFileLimit();
    QApplication application(argc, argv);
    // The images are compiled into a static library; its resources are registered here.
    Q_INIT_RESOURCE(icons);
    QApplication::setApplicationName(QStringLiteral("Trawlix"));
    CTrawlixApp app(SettingsFilePath(SystemSettingsEnvironment()));
    return app.Run(application);
}
