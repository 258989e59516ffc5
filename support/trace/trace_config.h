#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace xdbg {

// Where the stream sink writes.
enum class StreamTarget {
    None,
    StandardError,
    StandardOutput,
    LogFile, // "xdebug.txt" in the current folder, opened for appending per report
};

inline constexpr const char* kMachineConfigPath = "/etc/jalvex/debug.ini";
inline constexpr const char* kConfigTopic = "Debug";
inline constexpr const char* kLogFileName = "xdebug.txt";
inline constexpr const char* kDefaultListenerHost = "127.0.0.1";
inline constexpr std::uint16_t kDefaultListenerPort = 962;
inline constexpr std::size_t kMaxListenerHostLength = 127;

// The machine's trace configuration as it applies to Information, Warning and Error reports.
struct TraceConfig
{
    int mode = 0; // sink bits
    StreamTarget stream = StreamTarget::None;
    std::string host = kDefaultListenerHost;
    std::uint16_t port = kDefaultListenerPort;
};

// A configuration number: decimal digits, or "0x"/"0X" and hex digits, fitting 32 bits.
[[nodiscard]] std::optional<std::uint32_t> ParseConfigNumber(std::string_view text);

// "Mode" as written in the file: a number giving the sink bits, or one sink word in any letter
// case. Unknown words, "none" and an empty value select no sink.
[[nodiscard]] int ModeFromText(std::string_view text);

// "File": "stderr", "stdout" or "xdebug" in any letter case; anything else has no target.
[[nodiscard]] StreamTarget StreamFromText(std::string_view text);

// Gives the value of a key of the "Debug" topic, or nothing when the key is absent.
using ConfigKeyReader = std::function<std::optional<std::string>(const char* key)>;

// Builds the configuration from the keys `readKey` delivers; the file is only consulted for the
// keys that matter (no "File" without a sink, no "host"/"port" without the listener sink).
[[nodiscard]] TraceConfig BuildTraceConfig(const ConfigKeyReader& readKey);

// Reads the configuration file at `path`; a missing or unreadable file gives no sinks.
[[nodiscard]] TraceConfig ReadTraceConfig(const std::string& path);

} // namespace xdbg
