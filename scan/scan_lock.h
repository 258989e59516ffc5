#pragma once

#include "support/threads/locks.h"

namespace scan {

// The process-wide lock that serialises the delivery of scan results to the window.
jwin::CJCritSect& ScanLock();

} // namespace scan
