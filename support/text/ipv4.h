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

// An address as a URL's host part: a dotted quad, optionally followed by ':' and a decimal port
// 1 to 65535 without leading zeros.
[[nodiscard]] bool IsDottedQuadAuthority(std::string_view text);

// The dotted form of an address in host byte order.
[[nodiscard]] std::string FormatDottedQuad(std::uint32_t address);
