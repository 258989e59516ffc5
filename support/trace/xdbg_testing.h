#pragma once

#include "support/trace/trace_config.h"

#include <functional>
#include <string>

// Test access to the trace's process-wide state. The program never calls this: it reads only
// the machine-wide configuration, once.
namespace xdbg_testing {

struct Setup
{
    xdbg::ConfigSource configSource;                 // read on the next first report
    std::string windowName = "winio_class";          // abstract socket name of the window sink
    std::function<void(const char*)> debuggerOutput; // replaces syslog when set
};

// Closes the listener connection and forgets the configuration, so that the next report reads
// `setup.configSource` afresh. Call only while no other thread reports.
void ResetForTesting(Setup setup);

} // namespace xdbg_testing
