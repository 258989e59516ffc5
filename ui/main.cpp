// trawlix: the desktop program.
#include "app/settings_location.h"
#include "app/trace_config_file.h"
#include "ui/trawlix_app.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // The diagnostic trace reads the machine's configuration file at its first report.
    XDbgSetConfigSource(app::TraceConfigFile());
    QApplication application(argc, argv);
    // The images are compiled into a static library; its resources are registered here.
    Q_INIT_RESOURCE(icons);
    QApplication::setApplicationName(QStringLiteral("Trawlix"));
    CTrawlixApp app(SettingsFilePath(SystemSettingsEnvironment()));
    return app.Run(application);
}
