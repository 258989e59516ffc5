#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/profile/line_syntax.h"
#include "support/profile/topic_index.h"

using namespace profile_syntax;

namespace {

struct TopicCase
{
    const char* line;
    bool topic;
};

TEST(ProfileLineSyntax, TopicLineTest)
{
    const TopicCase cases[] = {
        {"[settings]\n", true},
        {"   [ Settings ] ; remark\n", true},
        {"[settings]trailing text", true},
        {"[]\n", false},
        {"; [settings]\n", false},
        {"[settings\n", false},
        {"key=[value]\n", true},
        {"key=value\n", false},
        {"[[a]]\n", true},
        {"[a[b]\n", false},
        {"[a[b\n", true},
        {"a;[b]\n", false},
        {"[a;b]\n", true},
        {"\n", false},
    };
    for (const TopicCase& c : cases)
        EXPECT_EQ(IsTopicLine(c.line), c.topic) << c.line;
}

struct KeyCase
{
    const char* line;
    bool key;
};

TEST(ProfileLineSyntax, KeyLineTest)
{
    const KeyCase cases[] = {
        {"key=value\n", true},
        {"   key \t = value\n", true},
        {"key=\n", true},
        {"k1=2\n", true},
        {"my key=value\n", false},
        {"123=value\n", false},
        {"=value\n", false},
        {"\tkey=value\n", false},
        {"key value\n", false},
        {"key\n", false},
        {"", false},
    };
    for (const KeyCase& c : cases)
        EXPECT_EQ(IsKeyLine(c.line), c.key) << c.line;
}

TEST(ProfileLineSyntax, BlankCommentContent)
{
    EXPECT_TRUE(IsBlank(" \t\r\n"));
    EXPECT_TRUE(IsBlank(std::string("\0\x1a\n", 3)));
    EXPECT_FALSE(IsBlank(" x\n"));
    EXPECT_TRUE(IsComment("  ; remark\n"));
    EXPECT_TRUE(IsComment("\t# remark\n"));
    EXPECT_FALSE(IsComment("a ; remark\n"));
    EXPECT_TRUE(IsContent("a ; remark\n"));
    EXPECT_FALSE(IsContent("\r\n"));
    EXPECT_FALSE(IsContent("#x\n"));
}

TEST(ProfileLineSyntax, BracketName)
{
    EXPECT_EQ(BracketName("[settings]\n"), std::optional<std::string>("settings"));
    EXPECT_EQ(BracketName("  [ Set tings ] x\n"), std::optional<std::string>(" Set tings "));
    EXPECT_EQ(BracketName("[a[b]c]\n"), std::optional<std::string>("ab"));
    EXPECT_EQ(BracketName("[open\r\n"), std::optional<std::string>("open"));
    EXPECT_EQ(BracketName("[]\n"), std::optional<std::string>(""));
    EXPECT_EQ(BracketName("key=[value]\n"), std::optional<std::string>("value"));
    EXPECT_EQ(BracketName(";[a]\n"), std::nullopt);
    EXPECT_EQ(BracketName("a]b[c]\n"), std::nullopt);
    EXPECT_EQ(BracketName("plain\n"), std::nullopt);
}

TEST(ProfileLineSyntax, KeyNames)
{
    EXPECT_EQ(KeyName("  key = v\n", false), std::optional<std::string_view>("key"));
    EXPECT_EQ(KeyName("key;x=v\n", false), std::optional<std::string_view>("key"));
    EXPECT_EQ(KeyName("key\r\n", false), std::optional<std::string_view>("key"));
    EXPECT_EQ(KeyName("my key = v\n", false), std::optional<std::string_view>("my"));
    EXPECT_EQ(KeyName("my key \t= v\n", true), std::optional<std::string_view>("my key"));
    EXPECT_EQ(KeyName("my key\r\n", true), std::optional<std::string_view>("my key"));
    EXPECT_EQ(KeyName(" ; remark\n", false), std::nullopt);
    EXPECT_EQ(KeyName("# remark\n", true), std::nullopt);
    EXPECT_EQ(KeyName(" \n", false), std::nullopt);
}

TEST(ProfileLineSyntax, BodyDropsOnlyTheLineEnd)
{
    EXPECT_EQ(Body("a=b\r\n"), "a=b");
    EXPECT_EQ(Body("a=b\n"), "a=b");
    EXPECT_EQ(Body("a=b"), "a=b");
    EXPECT_EQ(Body("a=b\r"), "a=b");
    EXPECT_EQ(Body("a=b \r\r\n"), "a=b \r");
    EXPECT_TRUE(EqualNoCase("SubNets", "sUBnETS"));
    EXPECT_FALSE(EqualNoCase("subnets", "subnet"));
    EXPECT_FALSE(EqualNoCase("\xE4", "\xC4")); // no case folding beyond ASCII
}

TEST(ProfileTopicIndex, NormaliseAndBucket)
{
    EXPECT_EQ(ProfileTopicIndex::Normalise("[ Settings ]\r\n"), "SETTINGS");
    EXPECT_EQ(ProfileTopicIndex::Normalise("settings"), "SETTINGS");
    EXPECT_EQ(ProfileTopicIndex::Normalise("[a b]; x\n"), "AB;X");
    // Worked by hand from the hash rule; the last case needs the byte taken as signed.
    EXPECT_EQ(ProfileTopicIndex::Bucket(""), 0u);
    EXPECT_EQ(ProfileTopicIndex::Bucket("A"), 630u);
    EXPECT_EQ(ProfileTopicIndex::Bucket("AB"), 936u);
    EXPECT_EQ(ProfileTopicIndex::Bucket("\xE4"), 972u);
}

TEST(ProfileTopicIndex, FirstNameWinsAndRemovalFreesIt)
{
    ProfileLineList lines;
    lines.push_back(ProfileLine{"[Settings]\n"});
    lines.push_back(ProfileLine{"[SETTINGS]\n"});
    ProfileTopicIndex index;
    EXPECT_TRUE(index.Enter(lines.begin()));
    EXPECT_FALSE(index.Enter(std::next(lines.begin())));
    EXPECT_EQ(index.Find("SETTINGS", lines.end()), lines.begin());
    index.Remove(lines.begin());
    EXPECT_FALSE(lines.front().indexed);
    EXPECT_EQ(index.Find("SETTINGS", lines.end()), lines.end());
    EXPECT_TRUE(index.Enter(std::next(lines.begin())));
    EXPECT_EQ(index.Find("SETTINGS", lines.end()), std::next(lines.begin()));
    EXPECT_EQ(index.Size(), 1u);
}

} // namespace
