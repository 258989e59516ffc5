#pragma once

#include <optional>
#include <string>
#include <string_view>

// How the profile store reads one line. Every function takes the line as stored, with its line end.
namespace profile_syntax {

// NUL, tab, LF, CR, Ctrl-Z and space.
[[nodiscard]] bool IsWhite(char c);
// The line without its line end: a final LF and a CR right before it (or a final CR alone).
[[nodiscard]] std::string_view Body(std::string_view line);
// Whether the line has an LF at its end.
[[nodiscard]] bool HasLineEnd(std::string_view line);

// Only white characters.
[[nodiscard]] bool IsBlank(std::string_view line);
// The first non-white character is ';' or '#'.
[[nodiscard]] bool IsComment(std::string_view line);
// Neither blank nor comment.
[[nodiscard]] bool IsContent(std::string_view line);
// A name in brackets not behind a ';' (whatever follows the ']').
[[nodiscard]] bool IsTopicLine(std::string_view line);
// Optional leading spaces, a name holding an ASCII letter and no blank, optional blanks, '='.
[[nodiscard]] bool IsKeyLine(std::string_view line);

// The text between the first '[' and the next ']' (or the line end) without further '[', when a
// '[' comes before any ';' and any ']'.
[[nodiscard]] std::optional<std::string> BracketName(std::string_view line);
// The name a key lookup compares with; none for blank and comment lines. Under `verbatim` the name
// runs up to '=' or ';' and may hold blanks.
[[nodiscard]] std::optional<std::string_view> KeyName(std::string_view line, bool verbatim);

// Byte comparison with A-Z and a-z taken as equal (classic locale).
[[nodiscard]] bool EqualNoCase(std::string_view a, std::string_view b);

} // namespace profile_syntax
