#pragma once

#include <cstdarg>
#include <cstddef>

// Report types; the name of each appears in the message box title.
enum XDbgReportType : int {
    XDBG_INFORMATION = 0,
    XDBG_WARNING = 1,
    XDBG_ERROR = 2,
    XDBG_ASSERTION_FAILED = 3,
};

// Sink bits; a report mode is a set of them.
inline constexpr int XDBG_MODE_FILE = 0x01;
inline constexpr int XDBG_MODE_DEBUGGER = 0x02;
inline constexpr int XDBG_MODE_MSGBOX = 0x04;
inline constexpr int XDBG_MODE_WINDOW = 0x08;
inline constexpr int XDBG_MODE_WINNET = 0x10;
inline constexpr int XDBG_MODE_ALL_SINKS = 0x1F;
// Passed as the mode of XDbgReport: use the type's configured sinks.
inline constexpr int XDBG_MODE_CONFIGURED = -1;

// Diagnostic trace: printf-style, callable from any thread, silent unless the machine's trace
// configuration names a sink. The text goes out as formatted; callers add their own "\n".
void XDbgTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The report core behind XDbgTrace. A type whose configured mode is empty stays silent whatever
// `mode` names; otherwise `mode` selects the sinks, or XDBG_MODE_CONFIGURED the configured ones.
void XDbgReport(int type, int mode, const char* format, va_list args) __attribute__((format(printf, 3, 0)));

// Traces `length` bytes at `data` as hex-dump lines of 16 bytes each.
void XDbgDump(const void* data, std::size_t length);
