// trawlix: the desktop program.
#include "app/settings_location.h"
#include "ui/trawlix_app.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trawlix"));
    CTrawlixApp app(SettingsFilePath(SystemSettingsEnvironment()));
    return app.Run(application);
}
