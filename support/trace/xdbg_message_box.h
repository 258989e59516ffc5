#pragma once

#include <functional>

// The trace's message box belongs to whoever owns the screen: the GUI installs a hook that shows
// the box (on its own thread) and returns the button pressed. Without a hook the box text goes
// to standard error and the program continues.
enum class XDbgBoxAnswer {
    Abort,  // raise SIGABRT, then end the process with exit code 3
    Retry,  // continue
    Ignore, // continue
};

using XDbgMessageBoxHook = std::function<XDbgBoxAnswer(const char* caption, const char* text)>;

inline constexpr const char* kXDbgBoxCaption = "Jalvex Debug Library";

// Installs the hook for every later box; an empty function removes it. Any thread may call this.
void XDbgSetMessageBoxHook(XDbgMessageBoxHook hook);
