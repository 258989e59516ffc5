#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

// Routes the diagnostic trace into a list of lines, as the debugger sink would write them, for
// the life of the object. One at a time; create it while no other thread reports.
class TraceCapture final
{
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // Every piece the trace wrote, in order.
    [[nodiscard]] std::vector<std::string> Lines() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace testsupport
