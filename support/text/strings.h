#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// String helpers that behave the same in every locale the process may run in.

// Space, tab, LF, VT, FF and CR: the blanks of the classic locale.
[[nodiscard]] bool IsBlank(char c);

// `text` without leading and trailing blanks.
[[nodiscard]] std::string Trim(std::string_view text);
[[nodiscard]] std::string_view TrimView(std::string_view text);

// ASCII letters mapped to upper or lower case; every other byte (UTF-8 or ISO-8859-1 included)
// stays as it is.
[[nodiscard]] std::string ToUpper(std::string_view text);
[[nodiscard]] std::string ToLower(std::string_view text);

// `value` in `radix` (2 to 36, lower-case digits above 9). A negative value gets a '-' in radix
// 10 and is written as its unsigned 32-bit value in every other radix. Empty for a radix
// outside 2 to 36.
[[nodiscard]] std::string NumberToString(std::int32_t value, int radix = 10);

// `pattern` with its "%s" and "%d" places filled in order by `values`, which are inserted as they
// are: a value from an adapter or a web page is never read as a format. Places beyond the values
// stay empty; any other '%' stays as written. For the patterns of the string table.
[[nodiscard]] std::string FillPlaces(std::string_view pattern, const std::vector<std::string>& values);
