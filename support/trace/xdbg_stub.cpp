// Placeholder until the trace facility lands: every trace call is silent.
#include "support/trace/xdbg.h"

void XDbgTrace(const char*, ...) {}
