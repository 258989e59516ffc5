#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

// A program the test starts (the simulator, trawlix-scan), with its standard output and error
// collected in files. The destructor kills a child that is still running.
class ChildProcess final
{
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] bool Started() const { return pid_ > 0; }
    [[nodiscard]] pid_t Pid() const { return pid_; }
    void Signal(int signal) const;
    // Waits until the child handles `signal` itself (its handler is installed); false when it did
    // not within `limit`.
    bool WaitUntilCatching(int signal, std::chrono::milliseconds limit) const;
    // Waits for the end; false when the child still runs after `limit` (then it keeps running).
    bool Wait(std::chrono::milliseconds limit);
    // Waits until the standard output contains `text`; false when the child ended or `limit` passed.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit);

    [[nodiscard]] int ExitCode() const { return exitCode_; } // -1 when ended by a signal
    [[nodiscard]] long MaxResidentKiB() const { return maxRssKiB_; }
    [[nodiscard]] std::string Output() const;
    [[nodiscard]] std::string Errors() const;

private:
    pid_t pid_ = -1;
    int exitCode_ = -1;
    long maxRssKiB_ = 0;
    std::string outPath_;
    std::string errPath_;
};

} // namespace testsupport
