#include "support/dirs/directory.h"

#include "support/text/paths.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(FilePatternTest, MatchesLikeTheFileSearch)
{
    struct Case
    {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        {"firmcaster.exe", "*.exe", true},
        {"FIRMCASTER.EXE", "*.exe", true},
        {"firmcaster.exe.bak", "*.exe", false},
        {"exe", "*.exe", false},
        {"readme", "*.*", true},
        {"a.b.c", "*.*", true},
        {".", "*.*", true},
        {"..", "*.*", true},
        {"readme", "read*.*", true},
        {"tmp.tmp", "t?p.*", true},
        {"tp.tmp", "t?p.*", false},
        {"anything", "*", true},
        {"", "*", true},
        {"abc", "a*b*c", true},
        {"abxbc", "a*b*c", true},
        {"acb", "a*b*c", false},
        {"abc", "abc", true},
        {"abcd", "abc", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesFilePattern(c.name, c.pattern), c.matches) << c.name << " vs " << c.pattern;
}

// Builds:  root/a.txt  root/b.exe  root/sub/c.txt  root/sub/deeper/d.exe  root/e.EXE
//          root/tool.exe/ (a folder)  root/tool.exe/f.exe
class DirectoryTreeTest : public ::testing::Test
{
protected:
    DirectoryTreeTest() : root(folder.Path() / "root")
    {
        for (const char* file : {"root/a.txt", "root/b.exe", "root/sub/c.txt", "root/sub/deeper/d.exe", "root/e.EXE",
                                 "root/tool.exe/f.exe"})
            folder.WriteFile(file, "content");
    }

    std::vector<std::string> Enumerate(const char* pattern, bool recurse, int* result = nullptr)
    {
        std::vector<std::string> paths;
        CXDirEx walker;
        const int r = walker.EnumerateFiles(
            root.c_str(),
            [](const std::string& path, void* user) {
                static_cast<std::vector<std::string>*>(user)->push_back(path);
                return 1;
            },
            pattern, recurse, &paths);
        if (result != nullptr)
            *result = r;
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    [[nodiscard]] std::string Under(const char* relative) const { return (root / relative).string(); }

    testsupport::TempFolder folder;
    fs::path root;
};

TEST_F(DirectoryTreeTest, EnumerateFilesListsMatchingFilesOnly)
{
    int result = 0;
    EXPECT_EQ(Enumerate("*.exe", false, &result), (std::vector<std::string>{Under("b.exe"), Under("e.EXE")}));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(
        Enumerate("*.exe", true, &result),
        (std::vector<std::string>{Under("b.exe"), Under("e.EXE"), Under("sub/deeper/d.exe"), Under("tool.exe/f.exe")}));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Enumerate("*.*", true).size(), 6u);
}

TEST_F(DirectoryTreeTest, EnumerateFilesStopsWhenTheCallbackSaysSo)
{
    CXDirEx walker;
    int calls = 0;
    const auto stopAtFirst = [&calls](const std::string&, void*) {
        ++calls;
        return 0;
    };
    EXPECT_EQ(walker.EnumerateFiles(root.c_str(), stopAtFirst, "*.*", true, nullptr), 0);
    EXPECT_EQ(calls, 1);

    EXPECT_EQ(walker.EnumerateFiles(nullptr, stopAtFirst, "*", false, nullptr), 0);
    EXPECT_EQ(walker.EnumerateFiles(root.c_str(), EnumerateFilesCallback{}, "*", false, nullptr), 0);
    EXPECT_EQ(calls, 1);
}

TEST_F(DirectoryTreeTest, EnumerateFilesOfAMissingFolderFindsNothing)
{
    CXDirEx walker;
    int calls = 0;
    const auto count = [&calls](const std::string&, void*) {
        ++calls;
        return 1;
    };
    const std::string missing = Under("missing");
    EXPECT_EQ(walker.EnumerateFiles(missing.c_str(), count, "*.exe", false, nullptr), 1);
    EXPECT_EQ(walker.LastError(), ENOENT);
    EXPECT_EQ(calls, 0);

    // A trailing separator is dropped; no name matching gives ENOENT as well.
    const std::string withSlash = root.string() + "/";
    EXPECT_EQ(walker.EnumerateFiles(withSlash.c_str(), count, "*.none", false, nullptr), 1);
    EXPECT_EQ(walker.LastError(), ENOENT);
    EXPECT_EQ(calls, 0);
}

TEST_F(DirectoryTreeTest, EnumerateFilesDoesNotFollowFolderLinks)
{
    fs::create_directory_symlink(root / "sub", root / "loop");
    fs::create_symlink(root / "b.exe", root / "link.exe");
    EXPECT_EQ(Enumerate("*.exe", true), (std::vector<std::string>{Under("b.exe"), Under("e.EXE"), Under("link.exe"),
                                                                  Under("sub/deeper/d.exe"), Under("tool.exe/f.exe")}));
}

TEST_F(DirectoryTreeTest, EnumerateFilesLeavesOutOverlongPaths)
{
    std::string deep = root.string();
    while (deep.size() < kMaxPath + 20)
        deep += "/abcdefghijklmnop";
    fs::create_directories(deep);
    folder.WriteFile(fs::path(deep).lexically_relative(folder.Path()) / "far.exe", "x");
    const auto found = Enumerate("*.exe", true);
    for (const auto& path : found)
        EXPECT_LE(path.size(), kMaxPath) << path;
    EXPECT_EQ(found.size(), 4u);
}

TEST_F(DirectoryTreeTest, RemoveTreeRemovesEverything)
{
    CXDirEx dirs;
    EXPECT_TRUE(dirs.RemoveTree(root.c_str(), "*.*", true));
    EXPECT_EQ(dirs.LastError(), 0);
    EXPECT_FALSE(fs::exists(root));
}

TEST_F(DirectoryTreeTest, RemoveTreeWithATrailingSeparatorAndAnEmptyFolder)
{
    CXDirEx dirs;
    const std::string empty = (folder.Path() / "empty").string();
    fs::create_directory(empty);
    EXPECT_TRUE(dirs.RemoveTree((empty + "/").c_str(), "*.*", true));
    EXPECT_FALSE(fs::exists(empty));
}

TEST_F(DirectoryTreeTest, RemoveTreeWithoutRecursionKeepsSubfolders)
{
    CXDirEx dirs;
    EXPECT_FALSE(dirs.RemoveTree(root.c_str(), "*.*", false));
    EXPECT_EQ(dirs.LastError(), ENOTEMPTY);
    EXPECT_FALSE(fs::exists(root / "a.txt"));
    EXPECT_TRUE(fs::exists(root / "sub" / "c.txt"));
}

TEST_F(DirectoryTreeTest, DeleteFilesInHonoursThePattern)
{
    CXDirEx dirs;
    EXPECT_TRUE(dirs.DeleteFilesIn(root.c_str(), "*.txt", true));
    EXPECT_FALSE(fs::exists(root / "a.txt"));
    // Subfolders are reached only when their own name matches.
    EXPECT_TRUE(fs::exists(root / "sub" / "c.txt"));
    EXPECT_TRUE(fs::exists(root / "b.exe"));

    EXPECT_FALSE(dirs.DeleteFilesIn(root.c_str(), "*.none", true));
    EXPECT_EQ(dirs.LastError(), ENOENT);
}

TEST_F(DirectoryTreeTest, RemoveTreeOfAMissingFolderFails)
{
    CXDirEx dirs;
    const std::string missing = Under("missing");
    EXPECT_FALSE(dirs.RemoveTree(missing.c_str(), "*.*", true));
    EXPECT_EQ(dirs.LastError(), ENOENT);
}

TEST_F(DirectoryTreeTest, RemoveTreeRemovesLinksNotTheirTargets)
{
    const fs::path outside = folder.Path() / "outside";
    folder.WriteFile("outside/keep.txt", "keep");
    fs::create_directory_symlink(outside, root / "link");
    CXDirEx dirs;
    EXPECT_TRUE(dirs.RemoveTree(root.c_str(), "*.*", true));
    EXPECT_FALSE(fs::exists(root));
    EXPECT_TRUE(fs::exists(outside / "keep.txt"));
}

// Makes one named file or folder undeletable, as a file held open by another program or a
// protected one would be, and records what was tried.
class FailingDirEx final : public CXDirEx
{
public:
    explicit FailingDirEx(std::string failing) : failing_(std::move(failing)) {}

    std::vector<std::string> attempts;

protected:
    int RemoveFile(const std::string& path) override
    {
        attempts.push_back(path);
        return FileNameOf(path) == failing_ ? EBUSY : CXDirEx::RemoveFile(path);
    }
    int RemoveFolder(const std::string& path) override
    {
        attempts.push_back(path);
        return FileNameOf(path) == failing_ ? EACCES : CXDirEx::RemoveFolder(path);
    }

private:
    std::string failing_;
};

TEST_F(DirectoryTreeTest, RemoveTreeStopsAtTheFirstUndeletableEntry)
{
    FailingDirEx dirs("c.txt");
    EXPECT_FALSE(dirs.RemoveTree(root.c_str(), "*.*", true));
    EXPECT_EQ(dirs.LastError(), EBUSY);
    EXPECT_TRUE(fs::exists(root / "sub" / "c.txt"));
    EXPECT_TRUE(fs::exists(root / "sub"));
    EXPECT_TRUE(fs::is_directory(root));

    FailingDirEx folderFails("deeper");
    EXPECT_FALSE(folderFails.RemoveTree(root.c_str(), "*.*", true));
    EXPECT_EQ(folderFails.LastError(), EACCES);
    EXPECT_TRUE(fs::is_directory(root / "sub" / "deeper"));
    EXPECT_FALSE(fs::exists(root / "sub" / "deeper" / "d.exe"));
}

TEST(DirectoryGuardTest, EmptyFolderNamesAreRefused)
{
    // Nothing may be deleted here even if the guard were missing: every attempt fails.
    for (const char* folder : {"", "/"}) {
        struct Recorder final : CXDirEx
        {
            int tries = 0;
            int RemoveFile(const std::string&) override { return ++tries, EPERM; }
            int RemoveFolder(const std::string&) override { return ++tries, EPERM; }
        } recorder;
        EXPECT_FALSE(recorder.RemoveTree(folder, "*.*", true)) << folder;
        EXPECT_EQ(recorder.LastError(), EINVAL) << folder;
        EXPECT_EQ(recorder.tries, 0) << folder;
    }
    CXDirEx dirs;
    EXPECT_FALSE(dirs.DeleteFilesIn(nullptr, "*.*", true));
    EXPECT_EQ(dirs.LastError(), EINVAL);
}

} // namespace
