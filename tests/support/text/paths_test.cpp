#include "support/text/paths.h"

#include <gtest/gtest.h>

namespace {

struct PathCase
{
    const char* first;
    const char* second;
    const char* expected;
};

TEST(PathsTest, JoinPath)
{
    const PathCase cases[] = {
        {"/opt/dir//", "/name", "/opt/dir/name"},
        {"/opt/dir", "name", "/opt/dir/name"},
        {"", "name", "name"},
        {"/opt/dir/", "", "/opt/dir/"},
        {"", "", ""},
        {"/", "tmp", "/tmp"},
        {"dir", "sub/file.ini", "dir/sub/file.ini"},
        {"dir", "///", "dir/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JoinPath(c.first, c.second), c.expected) << c.first << " + " << c.second;
}

TEST(PathsTest, DirectoryOf)
{
    const PathCase cases[] = {
        {"/opt/dir/prog", nullptr, "/opt/dir/"},
        {"/prog", nullptr, "/"},
        {"prog", nullptr, ""},
        {"/", nullptr, "/"},
        {"", nullptr, ""},
        {"/opt//dir//", nullptr, "/opt/"},
        {"/opt//prog", nullptr, "/opt/"},
        {"//", nullptr, ""},
        {"a/b", nullptr, "a/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DirectoryOf(c.first), c.expected) << c.first;
}

TEST(PathsTest, FileNameAndTrailingSeparators)
{
    EXPECT_EQ(FileNameOf("/opt/dir/prog.exe"), "prog.exe");
    EXPECT_EQ(FileNameOf("prog.exe"), "prog.exe");
    EXPECT_EQ(FileNameOf("/opt/dir/"), "");
    EXPECT_EQ(FileNameOf(""), "");
    EXPECT_EQ(StripTrailingSeparators("/opt/dir///"), "/opt/dir");
    EXPECT_EQ(StripTrailingSeparators("/"), "");
    EXPECT_EQ(StripTrailingSeparators("a/b"), "a/b");
}

} // namespace
