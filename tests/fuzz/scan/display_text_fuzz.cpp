// Decodes arbitrary adapter bytes for display, as legacy and as LX400 text, and checks that what
// comes out is always valid UTF-8 and that text without a '&' is only re-encoded.
#include "scan/record/display_text.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool ValidUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t length = b < 0x80                 ? 1
                             : b >= 0xC2 && b <= 0xDF ? 2
                             : b >= 0xE0 && b <= 0xEF ? 3
                             : b >= 0xF0 && b <= 0xF4 ? 4
                                                      : 0;
        if (length == 0 || i + length > s.size())
            return false;
        std::uint32_t cp = b & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        const std::uint32_t min = length == 1 ? 0 : length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string legacy = DisplayText(bytes, false);
    const std::string api = DisplayText(bytes, true);
    Check(ValidUtf8(legacy));
    Check(ValidUtf8(api));
    if (bytes.find('&') == std::string::npos)
        Check(legacy.size() >= bytes.size());
    return 0;
}
