#include "app/open_file_limit.h"

#include <sys/resource.h>

namespace app {

std::uint64_t RaiseOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        // Where the system refuses (a hard limit beyond what the kernel allows), the old limit stays.
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

} // namespace app
