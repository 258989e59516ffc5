#pragma once

#include <functional>
#include <string>

// What decides where "trawlix.ini" lives; the system's values by default, a test's own otherwise.
struct SettingsEnvironment
{
    // The program's own folder, ending with '/'.
    std::string programDirectory;
    // $XDG_CONFIG_HOME and $HOME; empty when unset.
    std::string xdgConfigHome;
    std::string home;
    // Whether files can be created in a folder.
    std::function<bool(const std::string&)> isWritableDirectory;
};

inline constexpr const char* kSettingsFileName = "trawlix.ini";

// The running program's values.
[[nodiscard]] SettingsEnvironment SystemSettingsEnvironment();

// "trawlix.ini" in the program's folder. For an installed program (a folder it cannot write, or
// one of the system's program folders /usr/..., /bin, /sbin, also when root runs it) the per-user
// file $XDG_CONFIG_HOME/trawlix/trawlix.ini, with ~/.config for an unset or relative
// $XDG_CONFIG_HOME. Empty when neither place can be named.
[[nodiscard]] std::string SettingsFilePath(const SettingsEnvironment& environment);

// The folder in which the vendor's flashing tool, its "firmcast.ini" and its firmware folders are
// looked for: the folder of "trawlix.ini". So a program run from its build or unpacked folder
// looks beside itself, and an installed one in the per-user folder (~/.config/trawlix/), where a
// user can put the tool; nobody can put it beside a program in /usr/bin. The program's folder
// when no settings place can be named.
[[nodiscard]] std::string FlashToolFolder(const SettingsEnvironment& environment);
