#include "support/text/strings.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

TEST(StringsTest, TrimRemovesClassicBlanksOnly)
{
    EXPECT_EQ(Trim(" \t\n\v\f\r a b \r\n"), "a b");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim(""), "");
    // A no-break space (UTF-8 or ISO-8859-1) is no blank.
    EXPECT_EQ(Trim("\xC2\xA0x\xA0"), "\xC2\xA0x\xA0");
}

TEST(StringsTest, CaseMappingTouchesAsciiLettersOnly)
{
    EXPECT_EQ(ToUpper("Trawlix-1.2 az"), "TRAWLIX-1.2 AZ");
    EXPECT_EQ(ToLower("Trawlix-1.2 AZ"), "trawlix-1.2 az");
    EXPECT_EQ(ToUpper("\xC3\xA4\xE4"), "\xC3\xA4\xE4");
    EXPECT_EQ(ToLower("\xC3\x84\xC4"), "\xC3\x84\xC4");
    EXPECT_EQ(ToUpper(std::string_view("a\0b", 3)), std::string("A\0B", 3));
}

TEST(StringsTest, NumberToString)
{
    struct Case
    {
        std::int32_t value;
        int radix;
        const char* expected;
    };
    const Case cases[] = {
        {-5, 10, "-5"},
        {-1, 16, "ffffffff"},
        {255, 16, "ff"},
        {0, 10, "0"},
        {0, 2, "0"},
        {5, 2, "101"},
        {35, 36, "z"},
        {INT32_MIN, 10, "-2147483648"},
        {INT32_MAX, 10, "2147483647"},
        {INT32_MIN, 16, "80000000"},
        {-2, 2, "11111111111111111111111111111110"},
        {10, 1, ""},
        {10, 37, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberToString(c.value, c.radix), c.expected) << c.value << " radix " << c.radix;
}

TEST(StringsTest, FillPlacesInsertsValuesAsTextInOrder)
{
    struct Case
    {
        const char* pattern;
        std::vector<std::string> values;
        const char* expected;
    };
    const Case cases[] = {
        {"Network from %s%d to %s%d", {"10.0.0.", "1", "10.0.0.", "254"}, "Network from 10.0.0.1 to 10.0.0.254"},
        {"Version %s", {"%s%d 100%"}, "Version %s%d 100%"}, // a value is never a format
        {"%d.%d.%d.*", {"1", "2"}, "1.2..*"},               // a place beyond the values stays empty
        {"50% off, %x and %", {"unused"}, "50% off, %x and %"},
        {"", {"a"}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillPlaces(c.pattern, c.values), c.expected) << c.pattern;
}

} // namespace
