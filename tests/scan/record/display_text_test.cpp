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
