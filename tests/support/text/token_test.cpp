#include "support/text/token.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::string> AllFields(const CJToken& token, const char* source)
{
    std::vector<std::string> fields;
    const int count = token.GetCount(source);
    for (int i = 1; i <= count; ++i) {
        char buffer[64];
        EXPECT_EQ(token.GetToken(buffer, sizeof buffer, source, i, false), 1);
        fields.emplace_back(buffer);
    }
    return fields;
}

struct SplitCase
{
    const char* delimiter;
    const char* source;
    std::vector<std::string> fields;
};

TEST(TokenTest, SplitsAtEveryWholeDelimiter)
{
    const SplitCase cases[] = {
        {";", "a;;b", {"a", "", "b"}},
        {";", "a;", {"a", ""}},
        {";", ";", {"", ""}},
        {";", "", {}},
        {";", "abc", {"abc"}},
        {"ab", "xabyab", {"x", "y", ""}},
        {"ab", "xayb", {"xayb"}},
        {"aa", "aaa", {"", "a"}},
        {"v ", "LX200 v 1.2.3", {"LX200 ", "1.2.3"}},
        {".", "192.168.1.*", {"192", "168", "1", "*"}},
        {"", "a;b", {"a;b"}},
        {"", "", {}},
    };
    for (const auto& c : cases) {
        const CJToken token(c.delimiter);
        EXPECT_EQ(token.GetCount(c.source), static_cast<int>(c.fields.size()))
            << "'" << c.source << "' by '" << c.delimiter << "'";
        EXPECT_EQ(AllFields(token, c.source), c.fields) << "'" << c.source << "' by '" << c.delimiter << "'";
        for (std::size_t i = 0; i < c.fields.size(); ++i)
            EXPECT_EQ(token.Token(c.source, static_cast<int>(i) + 1), c.fields[i]);
    }
}

TEST(TokenTest, NullDelimiterActsAsEmpty)
{
    CJToken token(nullptr);
    EXPECT_EQ(token.GetCount("a;b"), 1);
    EXPECT_EQ(token.SetDelimiter(";"), 1);
    EXPECT_EQ(token.GetCount("a;b"), 2);
    EXPECT_EQ(token.SetDelimiter(nullptr), 1);
    EXPECT_EQ(token.Delimiter(), "");
}

TEST(TokenTest, FieldsOutsideTheRangeAreEmptyButSucceed)
{
    const CJToken token(";");
    for (int field : {0, -1, 4, 1000}) {
        char buffer[16] = "garbage";
        EXPECT_EQ(token.GetToken(buffer, sizeof buffer, "a;b;c", field, false), 1) << field;
        EXPECT_STREQ(buffer, "") << field;
    }
    char buffer[16] = "garbage";
    EXPECT_EQ(token.GetToken(buffer, sizeof buffer, "", 1, true), 1);
    EXPECT_STREQ(buffer, "");
}

TEST(TokenTest, GetTokenHonoursTheBufferSize)
{
    const CJToken token(";");
    char buffer[8];
    EXPECT_EQ(token.GetToken(buffer, sizeof buffer, "x;abcdefghijkl;y", 2, false), 1);
    EXPECT_STREQ(buffer, "abcdefg");

    char one[1] = {'z'};
    EXPECT_EQ(token.GetToken(one, sizeof one, "abc", 1, false), 1);
    EXPECT_EQ(one[0], '\0');

    // No room even for the terminator: nothing is written.
    char guard[2] = {'q', 'r'};
    EXPECT_EQ(token.GetToken(guard, 0, "abc", 1, false), 0);
    EXPECT_EQ(guard[0], 'q');
}

TEST(TokenTest, GetTokenTrimsOnRequest)
{
    const CJToken token("|");
    char buffer[32];
    ASSERT_EQ(token.GetToken(buffer, sizeof buffer, " a |\t b c \r\n| ", 2, true), 1);
    EXPECT_STREQ(buffer, "b c");
    ASSERT_EQ(token.GetToken(buffer, sizeof buffer, " a |\t b c \r\n| ", 1, false), 1);
    EXPECT_STREQ(buffer, " a ");
    ASSERT_EQ(token.GetToken(buffer, sizeof buffer, " a | \v\f ", 2, true), 1);
    EXPECT_STREQ(buffer, "");
}

TEST(TokenTest, MissingArgumentsFail)
{
    const CJToken token(";");
    char buffer[8];
    std::int32_t value = 77;
    EXPECT_EQ(token.GetCount(nullptr), 0);
    EXPECT_EQ(token.GetToken(nullptr, 8, "a", 1, false), 0);
    EXPECT_EQ(token.GetToken(buffer, sizeof buffer, nullptr, 1, false), 0);
    EXPECT_EQ(token.GetTokenLong(nullptr, "1", 1), 0);
    EXPECT_EQ(token.GetTokenLong(&value, nullptr, 1), 0);
    EXPECT_EQ(value, 77);
}

struct LongCase
{
    const char* source;
    int field;
    std::int32_t expected;
};

TEST(TokenTest, GetTokenLongConvertsLikeTheRuntime)
{
    const LongCase cases[] = {
        {"x; 12a;y", 2, 12},
        {"x;;y", 2, 0},
        {"x;abc", 2, 0},
        {"-42", 1, -42},
        {"+7", 1, 7},
        {" \t 3 ", 1, 3},
        {"a;b", 5, 0},
        {"2147483647", 1, INT32_MAX},
        {"2147483648", 1, INT32_MAX},
        {"-2147483649", 1, INT32_MIN},
        {"99999999999999999999999", 1, INT32_MAX},
        {"0x1F", 1, 0},
        {"010", 1, 10},
    };
    const CJToken token(";");
    for (const auto& c : cases) {
        std::int32_t value = -999;
        EXPECT_EQ(token.GetTokenLong(&value, c.source, c.field), 1);
        EXPECT_EQ(value, c.expected) << c.source << " field " << c.field;
    }
}

TEST(TokenTest, UnsignedAndShortGetters)
{
    const CJToken token(".");
    std::uint32_t u = 0;
    EXPECT_EQ(token.GetTokenULong(&u, "1.4294967295.x", 2), 1);
    EXPECT_EQ(u, 4294967295u);
    token.GetTokenULong(&u, "4294967296", 1);
    EXPECT_EQ(u, 4294967295u);
    token.GetTokenULong(&u, "-1", 1);
    EXPECT_EQ(u, 4294967295u);
    token.GetTokenULong(&u, "-", 1);
    EXPECT_EQ(u, 0u);

    std::int16_t s = 0;
    token.GetTokenShort(&s, "-300", 1);
    EXPECT_EQ(s, -300);
    token.GetTokenShort(&s, "65537", 1);
    EXPECT_EQ(s, 1);
    std::uint16_t us = 0;
    token.GetTokenUShort(&us, "65535", 1);
    EXPECT_EQ(us, 65535);
    token.GetTokenUShort(&us, "-1", 1);
    EXPECT_EQ(us, 65535);
}

TEST(TokenTest, FloatingGettersIgnoreTheProcessLocale)
{
    const CJToken token(";");
    // A decimal-comma locale must not change how "1.5" reads; skip the switch where the
    // machine has no such locale, the conversion is checked either way.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    double d = 0;
    float f = 0;
    EXPECT_EQ(token.GetTokenDouble(&d, "x; 1.5 ", 2), 1);
    EXPECT_EQ(token.GetTokenFloat(&f, "-2.25", 1), 1);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_DOUBLE_EQ(d, 1.5);
    EXPECT_FLOAT_EQ(f, -2.25f);
    token.GetTokenDouble(&d, "abc", 1);
    EXPECT_DOUBLE_EQ(d, 0.0);
}

TEST(TokenTest, TypedGettersReadOnlyTheScratchSize)
{
    // A field longer than the scratch area is converted from its first bytes only.
    std::string source(CJToken::kScratchSize - 2, '0');
    source += "12";
    const CJToken token(";");
    std::int32_t value = 0;
    token.GetTokenLong(&value, source.c_str(), 1);
    EXPECT_EQ(value, 1);
}

} // namespace
