#include "support/text/token.h"

#include "support/text/strings.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace {

// The classic locale for floating conversions, made once; a GUI toolkit may have switched the
// process to a locale with a decimal comma.
locale_t ClassicLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// Decimal conversion to a 32-bit signed value, saturating like a 32-bit strtol.
std::int32_t ToLong32(const char* text)
{
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

// Decimal conversion to a 32-bit unsigned value like a 32-bit strtoul: a negative number is
// negated in 32 bits, a magnitude beyond the range gives the maximum.
std::uint32_t ToULong32(const char* text)
{
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (*p < '0' || *p > '9')
        return 0;
    errno = 0;
    const unsigned long long magnitude = std::strtoull(p, nullptr, 10);
    if (errno == ERANGE || magnitude > UINT32_MAX)
        return UINT32_MAX;
    const auto value = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

} // namespace

CJToken::CJToken(const char* delimiter) : delimiter_(delimiter != nullptr ? delimiter : "") {}

int CJToken::SetDelimiter(const char* delimiter)
{
    delimiter_ = delimiter != nullptr ? delimiter : "";
    return 1;
}

int CJToken::GetCount(const char* source) const
{
    if (source == nullptr || *source == '\0')
        return 0;
    if (delimiter_.empty())
        return 1;
    const std::string_view text(source);
    int count = 1;
    for (std::size_t pos = text.find(delimiter_); pos != std::string_view::npos;
         pos = text.find(delimiter_, pos + delimiter_.size())) {
        if (count == INT_MAX)
            break;
        ++count;
    }
    return count;
}

std::string_view CJToken::Field(std::string_view source, int field) const
{
    if (source.empty() || field < 1)
        return {};
    if (delimiter_.empty())
        return field == 1 ? source : std::string_view{};
    std::size_t start = 0;
    for (int n = 1;; ++n) {
        const std::size_t end = source.find(delimiter_, start);
        if (n == field)
            return source.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (end == std::string_view::npos)
            return {};
        start = end + delimiter_.size();
    }
}

int CJToken::GetToken(char* buffer, std::size_t bufferSize, const char* source, int field, bool trim) const
{
    if (buffer == nullptr || source == nullptr || bufferSize == 0)
        return 0;
    std::string_view value = Field(source, field);
    if (trim)
        value = TrimView(value);
    const std::size_t length = std::min(value.size(), bufferSize - 1);
    if (length > 0)
        std::memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
    return 1;
}

std::string CJToken::Token(std::string_view source, int field, bool trim) const
{
    const std::string_view value = Field(source, field);
    return std::string(trim ? TrimView(value) : value);
}

std::string CJToken::ScratchField(const char* source, int field) const
{
    std::string_view value = TrimView(Field(source, field));
    return std::string(value.substr(0, kScratchSize - 1));
}

namespace {

// Every typed getter: check the pointers, convert the trimmed field, report success.
template <class T, class Convert>
int GetTyped(const CJToken& token, T* out, const char* source, int field, Convert convert)
{
    if (out == nullptr || source == nullptr)
        return 0;
    *out = static_cast<T>(convert(token.ScratchField(source, field).c_str()));
    return 1;
}

float ToFloat(const char* text)
{
    const locale_t classic = ClassicLocale();
    return classic != nullptr ? strtof_l(text, nullptr, classic) : std::strtof(text, nullptr);
}

double ToDouble(const char* text)
{
    const locale_t classic = ClassicLocale();
    return classic != nullptr ? strtod_l(text, nullptr, classic) : std::strtod(text, nullptr);
}

} // namespace

int CJToken::GetTokenShort(std::int16_t* out, const char* source, int field) const
{
    return GetTyped(*this, out, source, field, ToLong32);
}

int CJToken::GetTokenUShort(std::uint16_t* out, const char* source, int field) const
{
    return GetTyped(*this, out, source, field, ToLong32);
}

int CJToken::GetTokenLong(std::int32_t* out, const char* source, int field) const
{
    return GetTyped(*this, out, source, field, ToLong32);
}

int CJToken::GetTokenULong(std::uint32_t* out, const char* source, int field) const
{
    return GetTyped(*this, out, source, field, ToULong32);
}

int CJToken::GetTokenFloat(float* out, const char* source, int field) const
{
    return GetTyped(*this, out, source, field, ToFloat);
}

int CJToken::GetTokenDouble(double* out, const char* source, int field) const
{
    return GetTyped(*this, out, source, field, ToDouble);
}
