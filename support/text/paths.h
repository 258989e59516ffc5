#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Path helpers on plain strings. The separator is '/'.

inline constexpr char kPathSeparator = '/';
// Longest path the program's own file and directory walks handle, in bytes.
inline constexpr std::size_t kMaxPath = 259;

// `directory` + one separator + `name`, without doubled separators at the seam. An empty
// directory gives the name, an empty name gives the directory.
[[nodiscard]] std::string JoinPath(std::string_view directory, std::string_view name);

// The folder part of `path`, ending with exactly one separator ("/dir/prog" gives "/dir/",
// "/prog" gives "/"); empty for a bare file name; "/" stays "/".
[[nodiscard]] std::string DirectoryOf(std::string_view path);

// The text after the last separator, or the whole path when there is none.
[[nodiscard]] std::string FileNameOf(std::string_view path);

// `path` without its trailing separators.
[[nodiscard]] std::string StripTrailingSeparators(std::string_view path);
