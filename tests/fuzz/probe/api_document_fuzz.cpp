// Documents of the LX400 JSON interface as any host on the network may send them: reading them
// must never throw, crash or read out of bounds.
#include "probe/api_probe.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string document(reinterpret_cast<const char*>(data), size);
    const ApiSystemInfo info = ReadApiSystemInfo(document);
    const ApiNetworkConfig config = ReadApiNetworkConfig(document);
    if (!info.usable && !(info.name.empty() && info.version.empty()))
        __builtin_trap();
    if (!config.usable && !config.mac.empty())
        __builtin_trap();
    return 0;
}
