#pragma once

#include "support/trace/trace_config.h"

#include <string>

namespace app {

// Where the machine keeps the trace configuration: topic "Debug" with the keys "Mode", "File",
// "host" and "port".
inline constexpr const char* kTraceConfigPath = "/etc/jalvex/debug.ini";
inline constexpr const char* kTraceConfigTopic = "Debug";

// The trace configuration read from the profile at `path`: opened when the trace asks for it,
// closed once the trace has read its keys. A missing or unreadable file gives no lookup (no sinks).
[[nodiscard]] xdbg::ConfigSource TraceConfigFile(std::string path = kTraceConfigPath);

} // namespace app
