// Firmware version texts from adapters: the split always gives a display version with a dot,
// a compact version, and parts no longer than their limits.
#include "probe/firmware_version.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string version(reinterpret_cast<const char*>(data), size);
    for (const char* separator : {"v ", "V"}) {
        std::string display, compact, oem;
        if (!SplitFirmwareVersion(version, separator, &display, &compact, &oem))
            std::abort();
        if (display.empty() || compact.empty() || display.find('.') == std::string::npos)
            std::abort();
        if (display.size() > 127 || compact.size() > 126 || oem.size() > 63)
            std::abort();
        if (oem.find(' ') != std::string::npos)
            std::abort();
    }
    return 0;
}
