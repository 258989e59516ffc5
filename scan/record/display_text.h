#pragma once

#include <string>

// Record text as people should see it, as UTF-8, for the window, terminals and every file the
// programs write: LX400 values are UTF-8 already; legacy values are ISO-8859-1 unless they are
// valid UTF-8 with multi-byte sequences (a page whose re-encoding failed). Invalid UTF-8 from an
// LX400 is shown with U+FFFD instead of being passed on.
// Legacy values come from HTML pages: the character references &amp; &lt; &gt; &quot; and the
// numeric &#NN; and &#xNN; are decoded once (a numeric one only for a character other than NUL
// that UTF-8 can hold); any other '&' stays as it stands.
// Last, invisible characters are shown as what they are (EscapeInvisibleCharacters), so an
// adapter cannot make its text read differently than it is. The record itself keeps the bytes.
[[nodiscard]] std::string DisplayText(const std::string& bytes, bool jsonApi);

// Text that did not come from an HTML page (file and folder names, the program's own reasons) for
// display as UTF-8: kept when it is valid UTF-8 with multi-byte sequences, else read as
// ISO-8859-1; invisible characters escaped as in DisplayText. No character reference is decoded:
// an "&amp;" in a folder name is what the folder is called.
[[nodiscard]] std::string PlainTextAsUtf8(const std::string& bytes);

// UTF-8 text with every character that draws nothing but can reorder, hide or break the text
// around it written as a visible ASCII escape "<U+XXXX>" (upper-case hex, four digits or more):
// the format characters (bidirectional embeddings, overrides, isolates and marks, zero-width
// spaces and joiners, the byte order mark, the soft hyphen, tags, ...) and the line and paragraph
// separators U+2028 and U+2029. A byte that starts no valid UTF-8 sequence becomes U+FFFD.
// The result holds none of these characters, and escaping it again changes nothing.
[[nodiscard]] std::string EscapeInvisibleCharacters(const std::string& utf8);

// The record text a family's probe would have kept for the display text `shown` (UTF-8, as
// DisplayText made it), so that DisplayText gives `shown` back: for legacy text every '&' is
// written as "&amp;", since display text has had its references decoded already. Lists read back
// from a file hold display text and are shown again as records.
[[nodiscard]] std::string RecordTextShownAs(const std::string& shown, bool jsonApi);
