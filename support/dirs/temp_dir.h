#pragma once

#include "support/dirs/directory.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Longest path CreateDirectoryPath works on, in bytes.
inline constexpr std::size_t kCreatePathMax = 2047;

// Creates `path` and every missing folder on the way. `existed`, when given, tells whether the
// last folder was there already. A path longer than kCreatePathMax, or whose last part exists
// but is no folder, fails. Returns 1 on success, 0 on failure (errno tells why).
int CreateDirectoryPath(const std::string& path, bool* existed = nullptr);

// The system's temporary directory; empty when it cannot be determined.
[[nodiscard]] std::string TemporaryDirectory();

// Makes uniquely numbered folders: prefix + number ("%05d") [+ "." + extension].
class CXTempDir : public CXDirEx
{
public:
    explicit CXTempDir(std::uint32_t bound);

    // Creates the first free numbered folder below `base` and stores its name (without `base`)
    // in `name`. A number is taken only by the call whose own mkdir made the folder, so threads
    // and processes creating folders in the same place never share one. `base`, `prefix` and
    // `extension` may be null. False, with `name` untouched, when no number below the bound
    // could be taken or `name` is null.
    bool CreateUniqueDir(const char* base, const char* prefix, const char* extension, std::string* name);

private:
    std::uint32_t counter = 1;
    std::uint32_t bound;
    std::string lastPrefix;
};
