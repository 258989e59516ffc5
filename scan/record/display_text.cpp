#include "scan/record/display_text.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>

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

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

int DigitValue(char c, int base)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The numeric reference "&#NN;" or "&#xNN;" at `i`: its length, or 0 when there is none or it
// names no character that may be shown (NUL, a surrogate, beyond U+10FFFF).
std::size_t NumericReference(const std::string& s, std::size_t i, std::uint32_t& cp)
{
    std::size_t k = i + 2;
    int base = 10;
    if (k < s.size() && (s[k] == 'x' || s[k] == 'X')) {
        base = 16;
        ++k;
    }
    const std::size_t first = k;
    std::uint32_t value = 0;
    for (; k < s.size(); ++k) {
        const int digit = DigitValue(s[k], base);
        if (digit < 0)
            break;
        value = std::min<std::uint32_t>(value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit),
                                        0x110000);
    }
    if (k == first || k >= s.size() || s[k] != ';')
        return 0;
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    cp = value;
    return k + 1 - i;
}

// Status pages are HTML and some adapters write their values with character references. The
// few that occur are decoded; anything else, a broken reference included, stays as written.
std::string DecodeCharacterReferences(const std::string& utf8)
{
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        if (utf8[i] != '&') {
            out += utf8[i++];
            continue;
        }
        const std::string_view rest = std::string_view(utf8).substr(i);
        std::size_t length = 0;
        for (const auto& [name, character] : kNamed) {
            if (rest.substr(0, name.size()) == name) {
                out += character;
                length = name.size();
                break;
            }
        }
        std::uint32_t cp = 0;
        if (length == 0 && rest.substr(0, 2) == "&#" && (length = NumericReference(utf8, i, cp)) != 0)
            AppendUtf8(out, cp);
        if (length == 0) {
            out += '&';
            length = 1;
        }
        i += length;
    }
    return out;
}

struct CodeRange
{
    std::uint32_t first;
    std::uint32_t last;
};

// The format characters (bidirectional embeddings, overrides and isolates, marks, zero-width
// spaces and joiners, the byte order mark, invisible operators, tags, shorthand and musical
// format controls, the soft hyphen) and the line and paragraph separators. None of them draws
// anything, and several reorder or break the text around them.
constexpr CodeRange kInvisible[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},
    {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x2028, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

bool IsInvisible(std::uint32_t cp)
{
    const auto it = std::lower_bound(std::begin(kInvisible), std::end(kInvisible), cp,
                                     [](const CodeRange& r, std::uint32_t value) { return r.last < value; });
    return it != std::end(kInvisible) && it->first <= cp;
}

// The code point of the valid multi-byte sequence of `length` bytes at `i`.
std::uint32_t DecodeSequence(const std::string& s, std::size_t i, std::size_t length)
{
    std::uint32_t cp = static_cast<unsigned char>(s[i]) & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return cp;
}

} // namespace

std::string EscapeInvisibleCharacters(const std::string& utf8)
{
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length = Utf8SequenceLength(utf8, i);
        if (length < 2) {
            out += length == 0 ? std::string_view("\xEF\xBF\xBD") : std::string_view(&utf8[i], 1);
            ++i;
            continue;
        }
        const std::uint32_t cp = DecodeSequence(utf8, i, length);
        if (!IsInvisible(cp)) {
            out.append(utf8, i, length);
        } else {
            std::string digits;
            for (std::uint32_t rest = cp; rest != 0 || digits.size() < 4; rest >>= 4)
                digits.insert(digits.begin(), kHex[rest & 0xF]);
            out += "<U+" + digits + ">";
        }
        i += length;
    }
    return out;
}

std::string PlainTextAsUtf8(const std::string& bytes)
{
    return EscapeInvisibleCharacters(IsUtf8WithMultibyte(bytes) ? bytes : Latin1ToUtf8(bytes));
}

std::string DisplayText(const std::string& bytes, bool jsonApi)
{
    // References are decoded first: "&#x202E;" on a status page is the same override.
    if (jsonApi)
        return EscapeInvisibleCharacters(bytes);
    const std::string utf8 = IsUtf8WithMultibyte(bytes) ? bytes : Latin1ToUtf8(bytes);
    return EscapeInvisibleCharacters(DecodeCharacterReferences(utf8));
}

std::string RecordTextShownAs(const std::string& shown, bool jsonApi)
{
    if (jsonApi)
        return shown;
    std::string out;
    out.reserve(shown.size());
    for (const char c : shown)
        out += c == '&' ? std::string_view("&amp;") : std::string_view(&c, 1);
    return out;
}
