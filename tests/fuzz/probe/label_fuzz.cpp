// Status pages from anywhere on the network: cutting the five values must stay inside the page
// and give only text that occurs in it without a '<'.
#include "net/http_fetcher.h"
#include "probe/legacy_probe.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string page(reinterpret_cast<const char*>(data), size);
    const LegacyPageValues values = ReadLegacyPage(page);
    for (const std::string* value :
         {&values.hardware, &values.firmware, &values.mac, &values.manufacturer, &values.location}) {
        if (value->find('<') != std::string::npos || value->find('\0') != std::string::npos)
            std::abort();
        if (!value->empty() && page.find(*value) == std::string::npos)
            std::abort();
    }
    // A label taken from the page's own first bytes: occurs at position 0, so never found there.
    if (size >= 4) {
        std::string value = "kept";
        const std::string label = page.substr(0, 4);
        if (ExtractLabelValue(label, page, &value) && page.find(label) == 0)
            std::abort();
    }
    return 0;
}
