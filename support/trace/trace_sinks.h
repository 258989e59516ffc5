#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "support/trace/trace_config.h"

// The pieces of the trace's sinks that do not depend on the process-wide state.
namespace xdbg {

inline constexpr std::size_t kReportBufferSize = 1024;
inline constexpr const char* kReportErrorText = "XDbgReport: string too long or io error\r\n";
inline constexpr const char* kWindowName = "winio_class";
inline constexpr std::size_t kListenerTextLimit = 2047;

// "Information", "Warning", "Error", "Assertion Failed"; an empty text for other types.
[[nodiscard]] const char* ReportTypeName(int type);

// The message box text for a report, or the report error text when it would not fit the report
// buffer.
[[nodiscard]] std::string BuildMessageBoxText(int type, std::string_view text);

// The pieces a text is cut into at every LF: n LFs give n + 1 pieces; an empty piece other than
// the last becomes a single space. The last piece may stay empty; empty pieces are never sent.
[[nodiscard]] std::vector<std::string> SplitWindowPieces(std::string_view text);

// The "XDEBUG|<length>|<text>|" frame: line ends become spaces and the text is trimmed of spaces.
[[nodiscard]] std::string BuildListenerFrame(std::string_view text);

// Writes the text unchanged to the stream target; failures are silent.
void WriteToStream(StreamTarget target, std::string_view text);

// Sends each non-empty piece of `text` as one datagram to the abstract Unix socket `name`.
// Without a listener the pieces are dropped; a stalled listener costs at most a short time-out.
void SendToWindow(const std::string& name, std::string_view text);

} // namespace xdbg
