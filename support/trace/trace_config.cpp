#include "support/trace/trace_config.h"

#include <strings.h>

#include "support/trace/xdbg.h"

namespace xdbg {
namespace {

bool EqualsNoCase(std::string_view text, const char* word)
{
    const std::string_view other(word);
    return text.size() == other.size() && strncasecmp(text.data(), word, text.size()) == 0;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<std::uint32_t> ParseConfigNumber(std::string_view text)
{
    std::uint32_t base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0 || static_cast<std::uint32_t>(digit) >= base)
            return std::nullopt;
        value = value * base + static_cast<std::uint32_t>(digit);
        if (value > UINT32_MAX)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

int ModeFromText(std::string_view text)
{
    if (const auto number = ParseConfigNumber(text))
        return static_cast<int>(*number & XDBG_MODE_ALL_SINKS);
    if (EqualsNoCase(text, "file"))
        return XDBG_MODE_FILE;
    if (EqualsNoCase(text, "debug") || EqualsNoCase(text, "outputdebugstr"))
        return XDBG_MODE_DEBUGGER;
    if (EqualsNoCase(text, "msgbox"))
        return XDBG_MODE_MSGBOX;
    if (EqualsNoCase(text, "window"))
        return XDBG_MODE_WINDOW;
    if (EqualsNoCase(text, "winnet"))
        return XDBG_MODE_WINNET;
    return 0;
}

StreamTarget StreamFromText(std::string_view text)
{
    if (EqualsNoCase(text, "stderr"))
        return StreamTarget::StandardError;
    if (EqualsNoCase(text, "stdout"))
        return StreamTarget::StandardOutput;
    if (EqualsNoCase(text, "xdebug"))
        return StreamTarget::LogFile;
    return StreamTarget::None;
}

TraceConfig BuildTraceConfig(const ConfigKeyReader& readKey)
{
    TraceConfig config;
    if (const auto mode = readKey("Mode"))
        config.mode = ModeFromText(*mode);
    if (config.mode == 0)
        return config;

    if (const auto file = readKey("File"))
        config.stream = StreamFromText(*file);
    if ((config.mode & XDBG_MODE_WINNET) == 0)
        return config;

    // The listener host buffer holds 127 characters; a longer text is ignored rather than cut
    // into an address nobody meant.
    if (auto host = readKey("host"); host && host->size() <= kMaxListenerHostLength)
        config.host = std::move(*host);
    if (const auto port = readKey("port")) {
        if (const auto number = ParseConfigNumber(*port))
            config.port = static_cast<std::uint16_t>(*number & 0xFFFFu);
    }
    return config;
}

} // namespace xdbg
