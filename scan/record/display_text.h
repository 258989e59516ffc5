#pragma once

#include <string>

// Record text as people should see it, as UTF-8: LX400 values are UTF-8 already; legacy values
// are ISO-8859-1 unless they are valid UTF-8 with multi-byte sequences (a page whose re-encoding
// failed). Invalid UTF-8 from an LX400 is shown with U+FFFD instead of being passed on.
[[nodiscard]] std::string DisplayText(const std::string& bytes, bool jsonApi);
