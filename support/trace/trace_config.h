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

// Gives the value of a key of the trace configuration, or nothing when the key is absent.
using ConfigKeyReader = std::function<std::optional<std::string>(const char* key)>;

// Opens the machine's trace configuration and gives a lookup of its keys, valid for as long as the
// lookup lives; an empty lookup when there is no configuration. The trace calls it once, at the
// first report, so the configuration is read lazily and only by a program that reports.
using ConfigSource = std::function<ConfigKeyReader()>;

// Builds the configuration from the keys `readKey` delivers; the file is only consulted for the
// keys that matter (no "File" without a sink, no "host"/"port" without the listener sink).
[[nodiscard]] TraceConfig BuildTraceConfig(const ConfigKeyReader& readKey);

} // namespace xdbg

// Installs where the trace reads its configuration at the first report. The trace itself knows
// no file: without a source it stays silent (only Assertion Failed keeps its message box). Each
// program installs its source at start, before it reports anything; a source installed after the
// first report is not read.
void XDbgSetConfigSource(xdbg::ConfigSource source);
