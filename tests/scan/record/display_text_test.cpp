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

} // namespace
