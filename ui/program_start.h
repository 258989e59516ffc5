#pragma once

#include <optional>
#include <string>
#include <vector>

// What the desktop program settles before it has a display: --help and --version print without
// one, and a start on a display that cannot be opened ends with one line and status 1 instead of
// Qt's abort.
namespace trawlix::ui {

// The text for standard output when `args` (the words after the program name) ask for --help or
// --version; none when the window is to open. Other arguments are Qt's (-platform, -display ...).
[[nodiscard]] std::optional<std::string> EarlyAnswer(const std::vector<std::string>& args);

// What a window system start depends on.
struct DisplayEnvironment
{
    // -platform, else $QT_QPA_PLATFORM; empty for Qt's default (X11 on Debian).
    std::string platform;
    // -display, else $DISPLAY.
    std::string x11Display;
    // $WAYLAND_DISPLAY.
    std::string waylandDisplay;
};
[[nodiscard]] DisplayEnvironment DisplayEnvironmentOf(const std::vector<std::string>& args);

// The one line (without its line break) that says which display could not be opened.
[[nodiscard]] std::string NoDisplayLine(const DisplayEnvironment& environment);

// While it lives, Qt's messages are held back. A fatal one (Qt could not start a window system,
// or anything else fatal while the application object is built) ends the process at once with
// status 1 and one line on standard error: `noDisplayLine` when no window system could be started,
// else the first line of Qt's message. The held messages go to the previous handler when the
// guard ends. One guard at a time, around the construction of the QApplication.
class PlatformStartGuard final
{
public:
    explicit PlatformStartGuard(std::string noDisplayLine);
    ~PlatformStartGuard();
    PlatformStartGuard(const PlatformStartGuard&) = delete;
    PlatformStartGuard& operator=(const PlatformStartGuard&) = delete;
};

} // namespace trawlix::ui
