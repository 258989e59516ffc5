#include "testsupport/trace_capture.h"

#include "support/trace/xdbg_testing.h"

#include <optional>
#include <string_view>

namespace testsupport {

TraceCapture::TraceCapture()
{
    xdbg_testing::Setup setup;
    // Mode 2: the debugger sink alone.
    setup.configSource = [] {
        return xdbg::ConfigKeyReader([](const char* key) -> std::optional<std::string> {
            if (std::string_view(key) == "Mode")
                return "2";
            return std::nullopt;
        });
    };
    setup.debuggerOutput = [this](const char* text) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(text);
    };
    xdbg_testing::ResetForTesting(std::move(setup));
}

TraceCapture::~TraceCapture()
{
    xdbg_testing::ResetForTesting({});
}

std::vector<std::string> TraceCapture::Lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

} // namespace testsupport
