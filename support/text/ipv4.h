#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// IPv4 addresses as the program accepts them anywhere: exactly four decimal numbers 0 to 255
// separated by dots, such as 192.168.1.20. Nothing else counts as an address: no blanks or signs,
// no leading zeros (010 reads as octal elsewhere), no hexadecimal, no short forms such as
// 192.168.5, no trailing dot. A text that is not an address is never handed to a resolver.

// The address in host byte order (192.168.1.20 is 0xC0A80114); nullopt for anything else.
[[nodiscard]] std::optional<std::uint32_t> ParseDottedQuad(std::string_view text);
[[nodiscard]] bool IsDottedQuad(std::string_view text);

// The dotted form of an address in host byte order.
[[nodiscard]] std::string FormatDottedQuad(std::uint32_t address);

// An IPv4 address as a value, from where an address enters the program (a command-line network,
// a settings subnet) to where it becomes text again (a URL, a record, a report): parsed once,
// compared and counted as a number, formatted only where text is needed.
class Ipv4Address final
{
public:
    constexpr Ipv4Address() = default;
    // The address in host byte order (192.168.1.20 is 0xC0A80114).
    constexpr explicit Ipv4Address(std::uint32_t hostOrder) : value_(hostOrder) {}
    constexpr Ipv4Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
        : value_(static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(b) << 16 |
                 static_cast<std::uint32_t>(c) << 8 | d)
    {}

    // The address a dotted quad names (ParseDottedQuad's rules); nullopt for anything else.
    [[nodiscard]] static std::optional<Ipv4Address> Parse(std::string_view text);

    [[nodiscard]] constexpr std::uint32_t Value() const { return value_; }
    // The last number of the address: the host within its /24.
    [[nodiscard]] constexpr std::uint8_t Host() const { return static_cast<std::uint8_t>(value_ & 0xFF); }
    // The dotted form.
    [[nodiscard]] std::string Text() const;

    constexpr auto operator<=>(const Ipv4Address&) const = default;

private:
    std::uint32_t value_ = 0;
};
