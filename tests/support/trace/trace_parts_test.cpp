#include <gtest/gtest.h>

#include <map>

#include "support/trace/trace_config.h"
#include "support/trace/trace_sinks.h"
#include "support/trace/xdbg.h"

namespace {

using xdbg::StreamTarget;

xdbg::TraceConfig ConfigFrom(const std::map<std::string, std::string>& keys)
{
    return xdbg::BuildTraceConfig([&keys](const char* key) -> std::optional<std::string> {
        const auto found = keys.find(key);
        return found == keys.end() ? std::nullopt : std::optional(found->second);
    });
}

TEST(TraceConfig, ModeIsAWordInAnyCaseOrANumber)
{
    EXPECT_EQ(xdbg::ModeFromText("FiLe"), XDBG_MODE_FILE);
    EXPECT_EQ(xdbg::ModeFromText("DEBUG"), XDBG_MODE_DEBUGGER);
    EXPECT_EQ(xdbg::ModeFromText("OutputDebugStr"), XDBG_MODE_DEBUGGER);
    EXPECT_EQ(xdbg::ModeFromText("msgbox"), XDBG_MODE_MSGBOX);
    EXPECT_EQ(xdbg::ModeFromText("Window"), XDBG_MODE_WINDOW);
    EXPECT_EQ(xdbg::ModeFromText("winNET"), XDBG_MODE_WINNET);
    EXPECT_EQ(xdbg::ModeFromText("18"), XDBG_MODE_DEBUGGER | XDBG_MODE_WINNET);
    EXPECT_EQ(xdbg::ModeFromText("0x12"), XDBG_MODE_DEBUGGER | XDBG_MODE_WINNET);
    EXPECT_EQ(xdbg::ModeFromText("0XFFFFFFFF"), XDBG_MODE_ALL_SINKS); // only the five sink bits count
    for (const char* silent : {"none", "", "files", "0x", "-1", "12abc", "4294967296", "0x100000000"})
        EXPECT_EQ(xdbg::ModeFromText(silent), 0) << silent;
}

TEST(TraceConfig, StreamTargets)
{
    EXPECT_EQ(xdbg::StreamFromText("StdErr"), StreamTarget::StandardError);
    EXPECT_EQ(xdbg::StreamFromText("STDOUT"), StreamTarget::StandardOutput);
    EXPECT_EQ(xdbg::StreamFromText("XDebug"), StreamTarget::LogFile);
    EXPECT_EQ(xdbg::StreamFromText("xdebug.txt"), StreamTarget::None);
}

TEST(TraceConfig, KeysApplyOnlyWithTheirSinks)
{
    const auto none = ConfigFrom({{"File", "stderr"}, {"host", "127.0.0.2"}, {"port", "77"}});
    EXPECT_EQ(none.mode, 0);
    EXPECT_EQ(none.stream, StreamTarget::None);

    const auto file = ConfigFrom({{"Mode", "file"}, {"File", "stdout"}, {"host", "127.0.0.2"}, {"port", "77"}});
    EXPECT_EQ(file.stream, StreamTarget::StandardOutput);
    EXPECT_EQ(file.host, "127.0.0.1");
    EXPECT_EQ(file.port, 962);

    const auto net = ConfigFrom({{"Mode", "winnet"}, {"host", "127.0.0.2"}, {"port", "0x10050"}});
    EXPECT_EQ(net.host, "127.0.0.2");
    EXPECT_EQ(net.port, 0x50); // the low 16 bits
}

TEST(TraceConfig, OverlongHostAndBadPortKeepTheDefaults)
{
    const auto longHost = ConfigFrom({{"Mode", "0x10"}, {"host", std::string(128, '1')}, {"port", "port"}});
    EXPECT_EQ(longHost.host, "127.0.0.1");
    EXPECT_EQ(longHost.port, 962);
    EXPECT_EQ(ConfigFrom({{"Mode", "0x10"}, {"host", std::string(127, '1')}}).host, std::string(127, '1'));
}

TEST(TraceSinks, WindowPiecesFollowTheLineFeeds)
{
    using Pieces = std::vector<std::string>;
    EXPECT_EQ(xdbg::SplitWindowPieces("a\n\nc\n"), (Pieces{"a", " ", "c", ""}));
    EXPECT_EQ(xdbg::SplitWindowPieces("\n"), (Pieces{" ", ""}));
    EXPECT_EQ(xdbg::SplitWindowPieces("no line end"), (Pieces{"no line end"}));
    EXPECT_EQ(xdbg::SplitWindowPieces("a\r\nb"), (Pieces{"a\r", "b"}));
}

TEST(TraceSinks, ListenerFrameFlattensAndTrimsTheText)
{
    EXPECT_EQ(xdbg::BuildListenerFrame("timeout..."), "XDEBUG|10|timeout...|");
    EXPECT_EQ(xdbg::BuildListenerFrame("  one\r\ntwo\n"), "XDEBUG|8|one  two|");
    EXPECT_EQ(xdbg::BuildListenerFrame("\r\n \n"), "XDEBUG|0||");
    EXPECT_EQ(xdbg::BuildListenerFrame("\ttab\t"), "XDEBUG|5|\ttab\t|");
    EXPECT_EQ(xdbg::BuildListenerFrame(xdbg::kReportErrorText), "XDEBUG|39|XDbgReport: string too long or io error|");

    const auto frame = xdbg::BuildListenerFrame(std::string(3000, 'x'));
    EXPECT_EQ(frame.size(), 2047u);
    EXPECT_TRUE(frame.starts_with("XDEBUG|2047|xxx"));
}

TEST(TraceSinks, MessageBoxTextAndItsLimit)
{
    EXPECT_EQ(xdbg::BuildMessageBoxText(XDBG_WARNING, "disk\n"),
              "Debug Warning!\n\nFile: <file unknown>\nLine: <line unknown>\n\ndisk\n\n\n");
    EXPECT_TRUE(xdbg::BuildMessageBoxText(XDBG_ASSERTION_FAILED, "x").starts_with("Debug Assertion Failed!\n"));
    // The frame around the text takes 65 characters of the 1023 the box holds.
    const std::string frame = xdbg::BuildMessageBoxText(XDBG_INFORMATION, "");
    ASSERT_EQ(frame.size(), 65u);
    EXPECT_EQ(xdbg::BuildMessageBoxText(XDBG_INFORMATION, std::string(1023 - 65, 'y')).size(), 1023u);
    EXPECT_EQ(xdbg::BuildMessageBoxText(XDBG_INFORMATION, std::string(1024 - 65, 'y')), xdbg::kReportErrorText);
}

} // namespace
