#include "support/trace/xdbg.h"

#include <array>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <syslog.h>

#include "support/trace/listener_connection.h"
#include "support/trace/trace_config.h"
#include "support/trace/trace_sinks.h"
#include "support/trace/xdbg_message_box.h"
#include "support/trace/xdbg_testing.h"

namespace xdbg {
namespace {

constexpr int kTypeCount = 4;

// Everything the trace shares between threads. The configuration fields are written once,
// inside the once-flag, and only read afterwards; the once-flag orders the two.
struct TraceState
{
    std::unique_ptr<std::once_flag> configureOnce = std::make_unique<std::once_flag>();
    std::mutex sourceLock;
    ConfigSource configSource;
    std::string windowName = kWindowName;
    std::function<void(const char*)> debuggerOutput;

    std::array<int, kTypeCount> mode{0, 0, 0, XDBG_MODE_MSGBOX};
    std::array<StreamTarget, kTypeCount> stream{};
    std::string host = kDefaultListenerHost;
    std::uint16_t port = kDefaultListenerPort;

    ListenerConnection listener;
    std::once_flag closeAtExitOnce;

    std::mutex boxHookLock;
    std::shared_ptr<const XDbgMessageBoxHook> boxHook;
};

// Never destroyed: threads may still trace while the process runs its exit handlers.
TraceState& State()
{
    static TraceState* const state = new TraceState();
    return *state;
}

// Set while the configuration is read, so that a trace from the profile store cannot re-enter
// the once-flag it is running under.
thread_local bool t_configuring = false;

void Configure(TraceState& state)
{
    t_configuring = true;
    TraceConfig config;
    try {
        ConfigSource source;
        {
            std::lock_guard guard(state.sourceLock);
            source = state.configSource;
        }
        if (source) {
            if (const ConfigKeyReader readKey = source())
                config = BuildTraceConfig(readKey);
        }
    } catch (...) {
        config = TraceConfig{}; // no memory to read the configuration: stay silent
    }
    t_configuring = false;

    for (int type = 0; type < XDBG_ASSERTION_FAILED; ++type) {
        state.mode[type] = config.mode;
        state.stream[type] = config.stream;
    }
    state.mode[XDBG_ASSERTION_FAILED] = XDBG_MODE_MSGBOX;
    state.stream[XDBG_ASSERTION_FAILED] = StreamTarget::None;
    state.host = std::move(config.host);
    state.port = config.port;
}

// Returns the configured mode of `type`, reading the configuration on first use; 0 while the
// configuration itself is being read.
int ConfiguredMode(TraceState& state, int type)
{
    if (t_configuring)
        return 0;
    std::call_once(*state.configureOnce, Configure, std::ref(state));
    return type >= 0 && type < kTypeCount ? state.mode[type] : 0;
}

void CloseListenerAtExit()
{
    State().listener.Close(true);
}

void ShowMessageBox(TraceState& state, int type, const char* text)
{
    const std::string box = BuildMessageBoxText(type, text);
    std::shared_ptr<const XDbgMessageBoxHook> hook;
    {
        std::lock_guard guard(state.boxHookLock);
        hook = state.boxHook;
    }
    XDbgBoxAnswer answer = XDbgBoxAnswer::Ignore;
    if (hook) {
        answer = (*hook)(kXDbgBoxCaption, box.c_str());
    } else {
        const std::string line = std::string(kXDbgBoxCaption) + ": " + box;
        std::fwrite(line.data(), 1, line.size(), stderr);
    }
    if (answer == XDbgBoxAnswer::Abort) {
        std::raise(SIGABRT);
        std::_Exit(3);
    }
}

void Deliver(TraceState& state, int type, int mode, const char* text)
{
    if (mode & XDBG_MODE_DEBUGGER) {
        if (state.debuggerOutput)
            state.debuggerOutput(text);
        else
            ::syslog(LOG_DEBUG, "%s", text);
    }
    if (mode & XDBG_MODE_FILE)
        WriteToStream(state.stream[type], text);
    if (mode & XDBG_MODE_MSGBOX)
        ShowMessageBox(state, type, text);
    if (mode & XDBG_MODE_WINDOW)
        SendToWindow(state.windowName, text);
    if (mode & XDBG_MODE_WINNET) {
        std::call_once(state.closeAtExitOnce, [] { std::atexit(CloseListenerAtExit); });
        state.listener.Send(state.host, state.port, BuildListenerFrame(text));
    }
}

} // namespace
} // namespace xdbg

void XDbgReport(int type, int mode, const char* format, va_list args)
{
    using namespace xdbg;
    TraceState& state = State();
    const int configured = ConfiguredMode(state, type);
    // A type without sinks stays silent whatever the caller names.
    const int selected = configured == 0 || mode == XDBG_MODE_CONFIGURED ? configured : mode & XDBG_MODE_ALL_SINKS;
    if (format == nullptr || selected == 0)
        return;

    std::array<char, kReportBufferSize> buffer;
    const int length = std::vsnprintf(buffer.data(), buffer.size(), format, args);
    const char* text =
        length < 0 || static_cast<std::size_t>(length) >= buffer.size() ? kReportErrorText : buffer.data();
    try {
        Deliver(state, type, selected, text);
    } catch (...) {
        // Out of memory on the way to a sink: the report is dropped, the caller goes on.
    }
}

void XDbgTrace(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    XDbgReport(XDBG_INFORMATION, XDBG_MODE_CONFIGURED, format, args);
    va_end(args);
}

void XDbgDump(const void* data, std::size_t length)
{
    if (data == nullptr || xdbg::ConfiguredMode(xdbg::State(), XDBG_INFORMATION) == 0)
        return;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t offset = 0; offset < length; offset += 16) {
        std::array<char, 128> line;
        std::size_t used = static_cast<std::size_t>(
            std::snprintf(line.data(), line.size(),
                          "%08lx: ", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(bytes + offset))));
        for (std::size_t i = 0; i < 16; ++i) {
            if (offset + i < length)
                std::snprintf(line.data() + used, line.size() - used, "%02x ", bytes[offset + i]);
            else
                std::snprintf(line.data() + used, line.size() - used, "   ");
            used += 3;
        }
        for (std::size_t i = 0; i < 16 && offset + i < length; ++i) {
            const unsigned char c = bytes[offset + i];
            line[used++] = c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
        }
        line[used] = '\0';
        XDbgTrace("%s\n", line.data());
    }
}

void XDbgSetMessageBoxHook(XDbgMessageBoxHook hook)
{
    auto& state = xdbg::State();
    auto shared = hook ? std::make_shared<const XDbgMessageBoxHook>(std::move(hook)) : nullptr;
    std::lock_guard guard(state.boxHookLock);
    state.boxHook = std::move(shared);
}

void XDbgSetConfigSource(xdbg::ConfigSource source)
{
    auto& state = xdbg::State();
    std::lock_guard guard(state.sourceLock);
    state.configSource = std::move(source);
}

namespace xdbg_testing {

void ResetForTesting(Setup setup)
{
    auto& state = xdbg::State();
    state.listener.Close(false);
    state.configureOnce = std::make_unique<std::once_flag>();
    XDbgSetConfigSource(std::move(setup.configSource));
    state.windowName = std::move(setup.windowName);
    state.debuggerOutput = std::move(setup.debuggerOutput);
    state.mode = {0, 0, 0, XDBG_MODE_MSGBOX};
    state.stream = {};
    state.host = xdbg::kDefaultListenerHost;
    state.port = xdbg::kDefaultListenerPort;
}

} // namespace xdbg_testing
