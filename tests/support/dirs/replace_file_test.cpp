#include "support/dirs/replace_file.h"

#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

TEST(ReplaceFileTest, WritesWholeOrLeavesTheOldFile)
{
    testsupport::TempFolder folder;
    const fs::path list = folder.WriteFile("list.csv", std::string(100, 'x'));
    fs::permissions(list, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A shorter content replaces the file whole and keeps its permissions.
    EXPECT_EQ(ReplaceFile(list.string(), "new\n"), 0);
    EXPECT_EQ(testsupport::TempFolder::ReadFile(list), "new\n");
    EXPECT_EQ(fs::status(list).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A write that fails part of the way: the old file as it was, nothing else left behind.
    // (Writes beyond the size limit fail with EFBIG once its signal is ignored.)
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const auto action = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{2, limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int error = ReplaceFile(list.string(), "longer than two bytes");
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, action);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(testsupport::TempFolder::ReadFile(list), "new\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"list.csv"});

    // A step that fails at once; a new file is made.
    EXPECT_EQ(ReplaceFile((folder.Path() / "gone" / "list.csv").string(), "x"), ENOENT);
    EXPECT_EQ(ReplaceFile((folder.Path() / "new.json").string(), "[]\n"), 0);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"list.csv", "new.json"}));
}

} // namespace
