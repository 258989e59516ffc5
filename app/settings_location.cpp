#include "app/settings_location.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

#include "support/text/paths.h"
#include "support/text/system.h"

namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string HomeDirectory()
{
    std::string home = Environment("HOME");
    if (!home.empty())
        return home;
    if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return {};
}

// A folder the system's packages install programs into. Root may write there, yet the settings of
// an installed program belong to the user, never beside the system's executables.
bool IsSystemProgramFolder(const std::string& folder)
{
    for (const char* prefix : {"/usr/", "/bin/", "/sbin/"})
        if (folder.rfind(prefix, 0) == 0)
            return true;
    return false;
}

} // namespace

SettingsEnvironment SystemSettingsEnvironment()
{
    SettingsEnvironment environment;
    environment.programDirectory = ModuleDirectory();
    environment.xdgConfigHome = Environment("XDG_CONFIG_HOME");
    environment.home = HomeDirectory();
    environment.isWritableDirectory = [](const std::string& folder) {
        return !folder.empty() && access(folder.c_str(), W_OK | X_OK) == 0;
    };
    return environment;
}

std::string SettingsFilePath(const SettingsEnvironment& environment)
{
    if (!environment.programDirectory.empty() && !IsSystemProgramFolder(environment.programDirectory) &&
        environment.isWritableDirectory && environment.isWritableDirectory(environment.programDirectory))
        return JoinPath(environment.programDirectory, kSettingsFileName);

    // Only an absolute $XDG_CONFIG_HOME counts; a relative one is ignored as the base directory rules say.
    std::string configHome = environment.xdgConfigHome;
    if (configHome.empty() || configHome.front() != '/') {
        if (environment.home.empty())
            return {};
        configHome = JoinPath(environment.home, ".config");
    }
    return JoinPath(JoinPath(configHome, "trawlix"), kSettingsFileName);
}

std::string FlashToolFolder(const SettingsEnvironment& environment)
{
    const std::string settings = SettingsFilePath(environment);
    return settings.empty() ? environment.programDirectory : DirectoryOf(settings);
}
