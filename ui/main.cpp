// trawlix: the desktop program.
#include "app/settings_location.h"
#include "ui/trawlix_app.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // The images are compiled into a static library; its resources are registered here.
    Q_INIT_RESOURCE(icons);
    QApplication::setApplicationName(QStringLiteral("Trawlix"));
    CTrawlixApp app(SettingsFilePath(SystemSettingsEnvironment()));
    return app.Run(application);
}
