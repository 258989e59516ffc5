#include "support/text/strings.h"

#include <algorithm>

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view TrimView(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Trim(std::string_view text)
{
    return std::string(TrimView(text));
}

std::string ToUpper(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return result;
}

std::string ToLower(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return result;
}

std::string NumberToString(std::int32_t value, int radix)
{
    if (radix < 2 || radix > 36)
        return {};
    const bool negative = radix == 10 && value < 0;
    // Two's complement in 32 bits: the unsigned value for other radixes, the magnitude for
    // radix 10 (also of INT32_MIN, whose magnitude has no signed form).
    std::uint32_t rest = static_cast<std::uint32_t>(value);
    if (negative)
        rest = 0u - rest;
    std::string digits;
    do {
        digits += "0123456789abcdefghijklmnopqrstuvwxyz"[rest % static_cast<std::uint32_t>(radix)];
        rest /= static_cast<std::uint32_t>(radix);
    } while (rest != 0);
    if (negative)
        digits += '-';
    std::reverse(digits.begin(), digits.end());
    return digits;
}

std::string FillPlaces(std::string_view pattern, const std::vector<std::string>& values)
{
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 's' || pattern[i + 1] == 'd')) {
            if (next < values.size())
                out += values[next];
            ++next;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}
