#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Byte-level access to a profile's file: reading it into lines and writing lines back, in text
// form or scrambled.
namespace profile_file {

// A profile file larger than this is refused rather than read into memory.
inline constexpr std::size_t kMaxFileSize = 64u * 1024u * 1024u;

// The fixed key of the scrambled form.
inline constexpr unsigned char kScrambleKey[8] = {0x5A, 0xC3, 0x17, 0x8E, 0x61, 0xB4, 0x2D, 0xF9};

// Splits text-form bytes into lines, each with its LF; a Ctrl-Z ends the readable part.
[[nodiscard]] std::vector<std::string> SplitText(std::string_view bytes);
// Undoes the scrambling line by line; each line's CR LF terminator is removed.
[[nodiscard]] std::vector<std::string> SplitScrambled(std::string_view bytes);
// The scrambled form of one line, with its scrambled CR LF.
[[nodiscard]] std::string ScrambleLine(std::string_view line);

// The whole file, or nothing when it cannot be opened or read or is too large.
[[nodiscard]] std::optional<std::string> ReadAll(const char* path);
// Makes sure the file exists, creating it empty when it cannot be opened for reading (an existing
// file is never truncated here), and writes `header` into it when it is empty.
[[nodiscard]] bool EnsureWithHeader(const char* path, std::string_view header);
// Replaces the file's content with `bytes`. False when the file could not be opened or written.
[[nodiscard]] bool WriteAll(const char* path, std::string_view bytes);

} // namespace profile_file
