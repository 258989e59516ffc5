#include "scan/record/display_text.h"

#include <gtest/gtest.h>

namespace {

TEST(DisplayTextTest, DecodesByFamily)
{
    // Legacy text is Latin-1 ...
    EXPECT_EQ(DisplayText("Gro\xDF", false), "Gro\xC3\x9F");
    // ... unless it is valid UTF-8 with multi-byte sequences.
    EXPECT_EQ(DisplayText("Gro\xC3\x9F", false), "Gro\xC3\x9F");
    EXPECT_EQ(DisplayText("plain", false), "plain");
    // LX400 text is UTF-8; broken sequences do not pass through.
    EXPECT_EQ(DisplayText("Gro\xC3\x9F", true), "Gro\xC3\x9F");
    EXPECT_EQ(DisplayText("a\xFF"
                          "b",
                          true),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(DisplayText("\xED\xA0\x80", true), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"); // surrogate
}

TEST(DisplayTextTest, DecodesCharacterReferencesOfLegacyPages)
{
    struct Case
    {
        const char* bytes;
        const char* shown;
    };
    const Case cases[] = {
        {"M\xFCller &amp; S\xF6hne", "M\xC3\xBCller & S\xC3\xB6hne"},
        {"&lt;b&gt; &quot;A&quot; &#39;B&#39;", "<b> \"A\" 'B'"},
        {"&#252; &#xFC; &#XfC; &#x1F600;", "\xC3\xBC \xC3\xBC \xC3\xBC \xF0\x9F\x98\x80"},
        {"&#x2013;", "\xE2\x80\x93"},
        {"&amp;lt;", "&lt;"}, // decoded once
        // Left as they stand: other names, no ';', no digits, NUL, surrogates, beyond U+10FFFF.
        {"&nbsp; &apos; &AMP; &amp &#; &#x; &#12a; &", "&nbsp; &apos; &AMP; &amp &#; &#x; &#12a; &"},
        {"&#0; &#xD800; &#x110000; &#99999999999999999999;", "&#0; &#xD800; &#x110000; &#99999999999999999999;"},
        {"R&D", "R&D"},
    };
    for (const Case& test : cases)
        EXPECT_EQ(DisplayText(test.bytes, false), test.shown) << test.bytes;
    // UTF-8 pages decode the same way; JSON values are no HTML and stay as sent.
    EXPECT_EQ(DisplayText("S\xC3\xBC"
                          "d &amp; Nord",
                          false),
              "S\xC3\xBC"
              "d & Nord");
    EXPECT_EQ(DisplayText("A &amp; B", true), "A &amp; B");
}

} // namespace

// Characters that draw nothing but reorder, hide or break text are shown by their code, whichever
// way they arrive: raw in UTF-8, decoded from a reference on a status page, or from Latin-1.
TEST(DisplayTextTest, ShowsInvisibleCharactersByTheirCode)
{
    struct Case
    {
        const char* bytes;
        bool jsonApi;
        const char* shown;
    };
    const Case cases[] = {
        {"Rack \xE2\x80\xAE"
         "1 B",
         true, "Rack <U+202E>1 B"},
        {"Rack \xE2\x80\xAE"
         "1 B",
         false, "Rack <U+202E>1 B"},
        {"Rack &#x202E;1 &#8297;B", false, "Rack <U+202E>1 <U+2069>B"},
        {"Schalt\xADraum", false, "Schalt<U+00AD>raum"}, // the soft hyphen of Latin-1
        // Embeddings, isolates, marks, zero-width characters, separators, byte order mark, tags.
        {"\xE2\x80\xAA\xE2\x81\xA6\xE2\x80\x8B\xE2\x80\x8F\xD8\x9C\xE1\xA0\x8E", true,
         "<U+202A><U+2066><U+200B><U+200F><U+061C><U+180E>"},
        {"a\xE2\x80\xA8"
         "b\xE2\x80\xA9\xE2\x81\xA4\xEF\xBB\xBF\xF3\xA0\x80\x81\xF3\xA0\x81\xBF",
         true, "a<U+2028>b<U+2029><U+2064><U+FEFF><U+E0001><U+E007F>"},
        // Neighbours that draw something stay: hair space, narrow no-break space, U+2065, a
        // combining mark, an emoji, a right-to-left letter.
        {"\xE2\x80\x8A\xE2\x80\xAF\xE2\x81\xA5"
         "e\xCC\x81\xF0\x9F\x98\x80\xD7\x90",
         true,
         "\xE2\x80\x8A\xE2\x80\xAF\xE2\x81\xA5"
         "e\xCC\x81\xF0\x9F\x98\x80\xD7\x90"},
        {"<U+202E>", true, "<U+202E>"}, // written out already: nothing to do
    };
    for (const Case& test : cases) {
        const std::string shown = DisplayText(test.bytes, test.jsonApi);
        EXPECT_EQ(shown, test.shown) << test.bytes;
        EXPECT_EQ(DisplayText(shown, true), shown) << test.bytes;
    }
    // Names and reasons that come from no page are shown the same way; "&amp;" stays.
    EXPECT_EQ(PlainTextAsUtf8("invoice\xE2\x80\xAE"
                              "fdp.exe &amp;"),
              "invoice<U+202E>fdp.exe &amp;");
}
