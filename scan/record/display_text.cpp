#include "scan/record/display_text.h"

#include <cstdint>

namespace {

// Length of the valid UTF-8 sequence at `i`, or 0 when there is none.
std::size_t Utf8SequenceLength(const std::string& s, std::size_t i)
{
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t length = 0;
    std::uint32_t min = 0;
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > s.size())
        return 0;
    std::uint32_t cp = b & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

bool IsUtf8WithMultibyte(const std::string& s)
{
    bool multibyte = false;
    for (std::size_t i = 0; i < s.size();) {
        const auto n = Utf8SequenceLength(s, i);
        if (n == 0)
            return false;
        multibyte = multibyte || n > 1;
        i += n;
    }
    return multibyte;
}

std::string Latin1ToUtf8(const std::string& s)
{
    std::string out;
    out.reserve(s.size() * 2);
    for (const char ch : s) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::string SanitizeUtf8(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto n = Utf8SequenceLength(s, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(s, i, n);
            i += n;
        }
    }
    return out;
}

} // namespace

std::string DisplayText(const std::string& bytes, bool jsonApi)
{
    if (jsonApi || IsUtf8WithMultibyte(bytes))
        return SanitizeUtf8(bytes);
    return Latin1ToUtf8(bytes);
}
