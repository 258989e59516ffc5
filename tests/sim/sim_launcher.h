#pragma once

// Runs trawlix-sim for integration tests: inside a private network namespace of the test process,
// started from a network description text, stopped by SIGTERM.
#include "testsupport/temp_folder.h"

#include <sys/types.h>

#include <memory>
#include <string>

namespace simtest {

// Moves the calling thread (and every process and thread it starts later) into a new network
// namespace with the loopback interface up, so that all of 127.0.0.0/8 and the ports 80 and 443
// are the test's own. Needs root, or unprivileged user namespaces (then it must run before any
// other thread exists). False with the reason when neither works.
[[nodiscard]] bool EnterPrivateNetwork(std::string& why);

class SimProcess final
{
public:
    // Starts the simulator on `network` and returns once every listener is bound; nullptr with
    // the reason (the simulator's own message when it gave up) otherwise.
    static std::unique_ptr<SimProcess> Start(const std::string& network, std::string& error);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // SIGTERM, then waits; the exit status, or -1 when it did not exit normally.
    int Stop();
    // The statistics file the simulator wrote when it stopped.
    [[nodiscard]] std::string StatsAfterStop() const;
    // Its request log ("ADDRESS METHOD TARGET STATUS" lines).
    [[nodiscard]] std::string LogAfterStop() const;
    [[nodiscard]] pid_t Pid() const { return pid_; }
    [[nodiscard]] const std::string& Listeners() const { return listeners_; }

private:
    SimProcess() = default;

    testsupport::TempFolder folder_;
    pid_t pid_ = -1;
    std::string listeners_;
};

} // namespace simtest
