#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/trace_config_file.h"
#include "support/trace/trace_sinks.h"
#include "support/trace/xdbg.h"
#include "support/trace/xdbg_message_box.h"
#include "support/trace/xdbg_testing.h"
#include "tests/support/trace/trace_listeners.h"
#include "testsupport/temp_folder.h"

namespace {

using testsupport::TempFolder;
using tracetest::LoopbackListener;
using tracetest::WindowListener;

void Report(int type, int mode, const char* format, ...) __attribute__((format(printf, 3, 4)));
void Report(int type, int mode, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    XDbgReport(type, mode, format, args);
    va_end(args);
}

// Each test starts the trace afresh from its own configuration file, inside its own folder (the
// log file lands in the current folder), with a private window name and the debugger output
// captured.
class TraceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previousFolder_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_.Path());
        Configure(std::nullopt);
    }

    void TearDown() override
    {
        XDbgSetMessageBoxHook({});
        xdbg_testing::ResetForTesting(
            {app::TraceConfigFile((folder_.Path() / "absent.ini").string()), windowName_, {}});
        std::filesystem::current_path(previousFolder_);
    }

    // Starts the trace afresh with `ini` as its configuration file, or with no file at all.
    void Configure(const std::optional<std::string>& ini)
    {
        const auto path = ini ? folder_.WriteFile("debug.ini", *ini) : folder_.Path() / "absent.ini";
        xdbg_testing::ResetForTesting({app::TraceConfigFile(path.string()), windowName_, [this](const char* text) {
                                           std::lock_guard guard(debuggerLock_);
                                           debugger_.emplace_back(text);
                                       }});
    }

    std::vector<std::string> Debugger()
    {
        std::lock_guard guard(debuggerLock_);
        return debugger_;
    }

    std::string LogFile() const { return TempFolder::ReadFile(folder_.Path() / "xdebug.txt"); }
    bool LogFileExists() const { return std::filesystem::exists(folder_.Path() / "xdebug.txt"); }

    TempFolder folder_;
    std::filesystem::path previousFolder_;
    const std::string windowName_ = "trawlix-trace-test-" + std::to_string(::getpid());
    std::mutex debuggerLock_;
    std::vector<std::string> debugger_;
};

TEST_F(TraceTest, WithoutConfigurationNothingComesOutAnywhere)
{
    // No file, a Mode that names no sink, and sinks under another topic.
    const std::optional<std::string> configurations[] = {std::nullopt, "[Debug]\nMode=none\nFile=stderr\n",
                                                         "[Other]\nMode=0x1f\nFile=stderr\n"};
    for (const auto& ini : configurations) {
        Configure(ini);
        WindowListener window(windowName_);
        std::atomic<int> boxes = 0;
        XDbgSetMessageBoxHook([&boxes](const char*, const char*) {
            ++boxes;
            return XDbgBoxAnswer::Ignore;
        });
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        XDbgTrace("timeout...\n");
        // A silent type stays silent even when the caller names every sink.
        Report(XDBG_ERROR, XDBG_MODE_ALL_SINKS, "%s\n", "error");
        XDbgDump("bytes", 5);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_TRUE(Debugger().empty());
        EXPECT_TRUE(window.Drain().empty());
        EXPECT_EQ(boxes, 0);
        EXPECT_FALSE(LogFileExists());
    }
}

TEST_F(TraceTest, SourceIsOpenedAtTheFirstReportOnlyAndItsLookupReleasedAfterwards)
{
    int opened = 0;
    auto keys = std::make_shared<int>(0); // shared by the source and every lookup it gives
    xdbg_testing::Setup setup;
    setup.windowName = windowName_;
    setup.configSource = [&opened, keys]() -> xdbg::ConfigKeyReader {
        ++opened;
        return [keys](const char* key) -> std::optional<std::string> {
            return std::string(key) == "Mode" ? std::optional<std::string>("debug") : std::nullopt;
        };
    };
    setup.debuggerOutput = [this](const char* text) {
        std::lock_guard guard(debuggerLock_);
        debugger_.emplace_back(text);
    };
    xdbg_testing::ResetForTesting(std::move(setup));
    EXPECT_EQ(opened, 0);
    XDbgTrace("one\n");
    XDbgTrace("two\n");
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(keys.use_count(), 2); // this test and the source: the lookup is gone
    EXPECT_EQ(Debugger(), (std::vector<std::string>{"one\n", "two\n"}));
}

TEST_F(TraceTest, LogFileGetsEveryTextAppendedUnchanged)
{
    folder_.WriteFile("xdebug.txt", "earlier\n");
    Configure("; written by hand\r\n[debug]\r\nMode = FiLe\r\nFile\t=  XDEBUG\r\n");
    XDbgTrace("-------- READY scanning ADAPTER ---------\n");
    XDbgTrace("DevID not found: <%s>", "LX\xe4 200");
    XDbgTrace("\r\n");
    EXPECT_EQ(LogFile(), "earlier\n-------- READY scanning ADAPTER ---------\nDevID not found: <LX\xe4 200>\r\n");
    EXPECT_TRUE(Debugger().empty());
}

TEST_F(TraceTest, FileModeWithoutTargetWritesNothing)
{
    Configure("[Debug]\nMode=file\n");
    testing::internal::CaptureStderr();
    XDbgTrace("lost\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(LogFileExists());

    Configure("[Debug]\nMode=file\nFile=stdout\n");
    testing::internal::CaptureStdout();
    XDbgTrace("to %s\n", "stdout");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "to stdout\n");
}

TEST_F(TraceTest, TextsBeyondTheReportBufferAreReplaced)
{
    Configure("[Debug]\nMode=file\nFile=xdebug\n");
    const std::string fits(1023, 'f');
    XDbgTrace("%s", fits.c_str());
    XDbgTrace("%s", (fits + "g").c_str());
    EXPECT_EQ(LogFile(), fits + "XDbgReport: string too long or io error\r\n");
}

TEST_F(TraceTest, NumericModeReachesDebuggerAndListener)
{
    LoopbackListener listener;
    Configure("[Debug]\nMode=0x12\nport=" + std::to_string(listener.Port()) + "\n");
    XDbgTrace("timeout...");
    // The connection was started by the first report; once it is accepted, the next report
    // certainly travels on it. The first one did when the connect finished in time.
    const auto connection = listener.Accept(10000);
    ASSERT_TRUE(connection.Valid());
    XDbgTrace("timeout...");
    xdbg_testing::ResetForTesting({{}, windowName_, {}}); // closes the connection
    const std::string data = tracetest::ReadUntilClosed(connection.Get());

    std::vector<std::string> texts;
    EXPECT_EQ(tracetest::ParseFrames(data, texts), data.size()) << data;
    ASSERT_GE(texts.size(), 1u);
    ASSERT_LE(texts.size(), 2u);
    EXPECT_EQ(data.substr(0, 21), "XDEBUG|10|timeout...|");
    EXPECT_EQ(Debugger(), (std::vector<std::string>{"timeout...", "timeout..."}));
}

TEST_F(TraceTest, ListenerThatHangsUpIsReconnected)
{
    LoopbackListener listener;
    Configure("[Debug]\nMode=winnet\nhost=127.0.0.1\nport=" + std::to_string(listener.Port()) + "\n");
    XDbgTrace("first\n");
    auto first = listener.Accept(10000);
    ASSERT_TRUE(first.Valid());
    XDbgTrace("first\n");
    // With nothing left unread the listener hangs up politely; the trace's next send still
    // succeeds and the one after it meets a broken pipe, which must not raise SIGPIPE.
    EXPECT_FALSE(tracetest::ReadAvailable(first.Get()).empty());
    first.Reset();

    xdbg::SocketHandle second;
    for (int i = 0; i < 1000 && !second.Valid(); ++i) {
        XDbgTrace("again\n");
        second = listener.Accept(10);
    }
    ASSERT_TRUE(second.Valid());
    XDbgTrace("again\n");
    xdbg_testing::ResetForTesting({{}, windowName_, {}});
    const std::string data = tracetest::ReadUntilClosed(second.Get());
    std::vector<std::string> texts;
    EXPECT_EQ(tracetest::ParseFrames(data, texts), data.size()) << data;
    EXPECT_FALSE(texts.empty());
    EXPECT_EQ(std::set<std::string>(texts.begin(), texts.end()), std::set<std::string>{"again"});
}

TEST_F(TraceTest, WindowGetsOneDatagramPerPiece)
{
    WindowListener window(windowName_);
    Configure("[Debug]\nMode=WINDOW\n");
    XDbgTrace("a\n\nc\n");
    XDbgTrace("\n");
    XDbgTrace("tail without line end");
    EXPECT_EQ(window.Drain(), (std::vector<std::string>{"a", " ", "c", " ", "tail without line end"}));
}

TEST_F(TraceTest, MessageBoxGoesToTheHookOrToStandardError)
{
    Configure("[Debug]\nMode=msgbox\n");
    std::vector<std::pair<std::string, std::string>> boxes;
    XDbgSetMessageBoxHook([&boxes](const char* caption, const char* text) {
        boxes.emplace_back(caption, text);
        return boxes.size() == 1 ? XDbgBoxAnswer::Retry : XDbgBoxAnswer::Ignore;
    });
    XDbgTrace("hello");
    Report(XDBG_WARNING, XDBG_MODE_CONFIGURED, "%d", 7);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].first, "Jalvex Debug Library");
    EXPECT_EQ(boxes[0].second, "Debug Information!\n\nFile: <file unknown>\nLine: <line unknown>\n\nhello\n\n");
    EXPECT_TRUE(boxes[1].second.starts_with("Debug Warning!\n"));

    XDbgSetMessageBoxHook({});
    testing::internal::CaptureStderr();
    XDbgTrace("hello");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Jalvex Debug Library: Debug Information!\n\nFile: <file unknown>\nLine: <line unknown>\n\nhello\n\n");
}

TEST_F(TraceTest, AssertionsShowTheBoxWithoutConfigurationAndCallersPickSinks)
{
    Configure("[Debug]\nMode=file\nFile=xdebug\n");
    std::vector<std::string> boxes;
    XDbgSetMessageBoxHook([&boxes](const char*, const char* text) {
        boxes.emplace_back(text);
        return XDbgBoxAnswer::Ignore;
    });
    Report(XDBG_ASSERTION_FAILED, XDBG_MODE_CONFIGURED, "broken");
    Report(XDBG_INFORMATION, XDBG_MODE_MSGBOX, "boxed");
    Report(4, XDBG_MODE_ALL_SINKS, "unknown type");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].starts_with("Debug Assertion Failed!\n"));
    EXPECT_NE(boxes[1].find("\n\nboxed\n\n"), std::string::npos);
    EXPECT_FALSE(LogFileExists());
}

// Assertion reports show the box even without a configuration; no fixture, so that the dying
// child leaves no folder behind.
TEST(TraceAbort, AbortEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto assertWithAbort = [] {
        xdbg_testing::ResetForTesting({app::TraceConfigFile("/nonexistent/debug.ini"), "trawlix-trace-test-abort", {}});
        XDbgSetMessageBoxHook([](const char*, const char*) { return XDbgBoxAnswer::Abort; });
        Report(XDBG_ASSERTION_FAILED, XDBG_MODE_CONFIGURED, "fatal");
    };
    EXPECT_EXIT(assertWithAbort(), testing::KilledBySignal(SIGABRT), "");
    // A program that survives the abort signal still ends, with exit code 3.
    EXPECT_EXIT(
        {
            std::signal(SIGABRT, [](int) {});
            assertWithAbort();
        },
        testing::ExitedWithCode(3), "");
}

TEST_F(TraceTest, DumpTracesSixteenBytesPerLine)
{
    Configure("[Debug]\nMode=debug\n");
    const unsigned char bytes[18] = {'H', 'i', 0, 0x7f, ' ', '~', 0x80, 0xff, 1, 2, 3, 4, 5, 6, 7, 8, 'z', '\n'};
    XDbgDump(bytes, sizeof bytes);
    char first[32];
    char second[32];
    std::snprintf(first, sizeof first, "%08lx: ", reinterpret_cast<unsigned long>(bytes));
    std::snprintf(second, sizeof second, "%08lx: ", reinterpret_cast<unsigned long>(bytes + 16));
    EXPECT_EQ(Debugger(), (std::vector<std::string>{
                              std::string(first) + "48 69 00 7f 20 7e 80 ff 01 02 03 04 05 06 07 08 Hi.. ~..........\n",
                              std::string(second) + "7a 0a " + std::string(14 * 3, ' ') + "z.\n"}));
}

TEST_F(TraceTest, ManyThreadsTraceAtOnce)
{
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    LoopbackListener listener;
    Configure("[Debug]\nMode=0x13\nFile=xdebug\nport=" + std::to_string(listener.Port()) + "\n");

    std::vector<xdbg::SocketHandle> connections;
    std::atomic<bool> tracing = true;
    std::thread acceptor([&] {
        while (tracing)
            if (auto connection = listener.Accept(10); connection.Valid())
                connections.push_back(std::move(connection));
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int line = 0; line < kLines; ++line)
                XDbgTrace("thread %d line %d\n", t, line);
        });
    for (auto& thread : threads)
        thread.join();
    tracing = false;
    acceptor.join();

    std::multiset<std::string> expected;
    for (int t = 0; t < kThreads; ++t)
        for (int line = 0; line < kLines; ++line)
            expected.insert("thread " + std::to_string(t) + " line " + std::to_string(line));
    std::multiset<std::string> logged;
    std::istringstream log(LogFile());
    for (std::string line; std::getline(log, line);)
        logged.insert(line);
    EXPECT_EQ(logged, expected);
    EXPECT_EQ(Debugger().size(), expected.size());

    // Frames may be lost to the short send time-out, but never interleaved.
    xdbg_testing::ResetForTesting({{}, windowName_, {}});
    for (const auto& connection : connections) {
        const std::string data = tracetest::ReadUntilClosed(connection.Get());
        std::vector<std::string> texts;
        const std::size_t whole = tracetest::ParseFrames(data, texts);
        EXPECT_EQ(data.find("XDEBUG|", whole + 1), std::string::npos) << data.substr(whole);
        for (const auto& text : texts)
            EXPECT_EQ(expected.count(text), 1u) << text;
    }
}

} // namespace
