#pragma once

// Diagnostic trace: printf-style, callable from any thread, silent unless the machine's trace
// configuration names a sink.
void XDbgTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
