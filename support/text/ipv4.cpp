#include "support/text/ipv4.h"

std::optional<std::uint32_t> ParseDottedQuad(std::string_view text)
{
    std::uint32_t address = 0;
    std::size_t i = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (i >= text.size() || text[i] != '.')
                return std::nullopt;
            ++i;
        }
        const std::size_t start = i;
        std::uint32_t value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
            value = value * 10 + static_cast<std::uint32_t>(text[i++] - '0');
        const std::size_t digits = i - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0'))
            return std::nullopt;
        address = (address << 8) | value;
    }
    if (i != text.size())
        return std::nullopt;
    return address;
}

bool IsDottedQuad(std::string_view text)
{
    return ParseDottedQuad(text).has_value();
}

std::string FormatDottedQuad(std::uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::optional<Ipv4Address> Ipv4Address::Parse(std::string_view text)
{
    const auto address = ParseDottedQuad(text);
    if (!address)
        return std::nullopt;
    return Ipv4Address(*address);
}

std::string Ipv4Address::Text() const
{
    return FormatDottedQuad(value_);
}
