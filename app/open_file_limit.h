#pragma once

#include <cstdint>

namespace app {

// Raises the process's soft limit of open files to its hard limit, as network tools do: the
// discovery knock keeps up to half the soft limit in flight, so the usual soft limit of 1024
// would cut a wide search into many rounds of one connect time-out each. Called once at start,
// before any thread. Returns the soft limit in effect afterwards (0 when it cannot be read).
std::uint64_t RaiseOpenFileLimit();

} // namespace app
