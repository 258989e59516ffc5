#pragma once

#include <string>

// Record text as people should see it, as UTF-8: LX400 values are UTF-8 already; legacy values
// are ISO-8859-1 unless they are valid UTF-8 with multi-byte sequences (a page whose re-encoding
// failed). Invalid UTF-8 from an LX400 is shown with U+FFFD instead of being passed on.
// Legacy values come from HTML pages: the character references &amp; &lt; &gt; &quot; and the
// numeric &#NN; and &#xNN; are decoded once (a numeric one only for a character other than NUL
// that UTF-8 can hold); any other '&' stays as it stands. The record itself keeps the bytes.
[[nodiscard]] std::string DisplayText(const std::string& bytes, bool jsonApi);

// Text that did not come from an HTML page (file and folder names, the program's own reasons) as
// UTF-8: kept when it is valid UTF-8 with multi-byte sequences, else read as ISO-8859-1. No
// character reference is decoded: an "&amp;" in a folder name is what the folder is called.
[[nodiscard]] std::string PlainTextAsUtf8(const std::string& bytes);
