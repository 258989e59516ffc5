#pragma once

#include <cstddef>

// The compiled language tables behind string_table.h, generated at build time from the files in
// resources/strings. Both tables hold the same ids; the build fails otherwise.
namespace trawlix::strings {

struct StringEntry
{
    int id;
    const char* text; // UTF-8
};

extern const StringEntry kEnglish[];
extern const std::size_t kEnglishCount;
extern const StringEntry kGerman[];
extern const std::size_t kGermanCount;

} // namespace trawlix::strings
