// Decodes arbitrary adapter bytes for display, as legacy and as LX400 text, and checks that what
// comes out is always valid UTF-8 without a character that could reorder or hide text, that text
// without a '&' is only re-encoded, and that showing display text again changes nothing.
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

// Bidirectional embeddings, overrides, isolates and marks, zero-width characters, separators, the
// byte order mark and other characters a terminal draws as nothing.
bool Invisible(std::uint32_t cp)
{
    return (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || (cp >= 0x200B && cp <= 0x200F) ||
           cp == 0x2028 || cp == 0x2029 || (cp >= 0x2060 && cp <= 0x2064) || cp == 0xFEFF || cp == 0x061C ||
           cp == 0x180E || cp == 0x00AD || (cp >= 0xE0000 && cp <= 0xE007F);
}

// Valid UTF-8 holding no invisible character.
bool ShowableUtf8(const std::string& s)
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
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || Invisible(cp))
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
    Check(ShowableUtf8(legacy));
    Check(ShowableUtf8(api));
    Check(ShowableUtf8(PlainTextAsUtf8(bytes)));
    if (bytes.find('&') == std::string::npos)
        Check(legacy.size() >= bytes.size());
    // Lists read back from a file hold display text, which is shown as it stands.
    Check(DisplayText(api, true) == api);
    Check(DisplayText(legacy, true) == legacy);
    return 0;
}
