// Files handed to `trawlix-scan --compare`: reading them must never throw or crash, and what is
// read as an inventory must be written and read back unchanged.
#include "cli/compare.h"
#include "scan/record/record_format.h"
#include "support/text/ipv4.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto read = ParseInventory(std::string(reinterpret_cast<const char*>(data), size));
    if (!read.devices)
        return 0;
    for (const DeviceRecord& device : *read.devices) {
        if (FormatDottedQuad(ParseDottedQuad(device.ip).value_or(0)) != device.ip)
            __builtin_trap();
    }
    const auto again = ParseInventory(FormatRecords(*read.devices, RecordFormat::Json));
    if (!again.devices || !CompareInventory(*read.devices, *again.devices).Empty())
        __builtin_trap();
    return 0;
}
