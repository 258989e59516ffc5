#pragma once

#include "app/app_settings.h"

#include <string>

class QApplication;

// The program: prepares the process-wide services, loads the settings, runs the main window
// until it closes, then saves the settings. SIGTERM, SIGINT and SIGHUP close the main window the
// way its close box does, so a search is stopped and the settings are saved.
class CTrawlixApp final
{
public:
    // `toolFolder` is where the Update Firmware command looks for the vendor's flashing tool.
    CTrawlixApp(std::string settingsPath, std::string toolFolder);

    // Runs the main window on the given application; returns the process exit status.
    int Run(QApplication& application);

    [[nodiscard]] const AppSettings& Settings() const { return settings_; }

private:
    void InitInstance();
    void ExitInstance();

    std::string settingsPath_;
    std::string toolFolder_;
    AppSettings settings_;
};
