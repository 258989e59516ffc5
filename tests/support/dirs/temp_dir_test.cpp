#include "support/dirs/temp_dir.h"

#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <latch>
#include <set>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TempDirTest : public ::testing::Test
{
protected:
    [[nodiscard]] std::string Base() const { return folder.Path().string(); }

    testsupport::TempFolder folder;
};

TEST_F(TempDirTest, NumbersStartAtOneAndSkipTakenNames)
{
    std::string name;
    CXTempDir first(10000);
    ASSERT_TRUE(first.CreateUniqueDir(Base().c_str(), "trawlix", nullptr, &name));
    EXPECT_EQ(name, "trawlix00001");
    EXPECT_TRUE(fs::is_directory(folder.Path() / "trawlix00001"));

    fs::create_directory(folder.Path() / "trawlix00002");
    folder.WriteFile("trawlix00003", "a file, not a folder");
    CXTempDir fresh(10000);
    ASSERT_TRUE(fresh.CreateUniqueDir(Base().c_str(), "trawlix", nullptr, &name));
    EXPECT_EQ(name, "trawlix00004");
    EXPECT_TRUE(fs::is_regular_file(folder.Path() / "trawlix00003"));

    // The same object goes on from where it stopped.
    ASSERT_TRUE(fresh.CreateUniqueDir(Base().c_str(), "trawlix", nullptr, &name));
    EXPECT_EQ(name, "trawlix00005");
}

TEST_F(TempDirTest, PrefixChangesResetTheCounterButLetterCaseDoesNot)
{
    CXTempDir dirs(10000);
    std::string name;
    ASSERT_TRUE(dirs.CreateUniqueDir(Base().c_str(), "tmp", nullptr, &name));
    ASSERT_TRUE(dirs.CreateUniqueDir(Base().c_str(), "TMP", nullptr, &name));
    EXPECT_EQ(name, "TMP00002");
    ASSERT_TRUE(dirs.CreateUniqueDir(Base().c_str(), "other", "d", &name));
    EXPECT_EQ(name, "other00001.d");
    ASSERT_TRUE(dirs.CreateUniqueDir(Base().c_str(), nullptr, nullptr, &name));
    EXPECT_EQ(name, "00002");
}

TEST_F(TempDirTest, FailsWhenEveryNumberIsTaken)
{
    CXTempDir dirs(4);
    std::string name;
    for (const char* expected : {"x00001", "x00002", "x00003"}) {
        ASSERT_TRUE(dirs.CreateUniqueDir(Base().c_str(), "x", nullptr, &name));
        EXPECT_EQ(name, expected);
    }
    name = "unchanged";
    EXPECT_FALSE(dirs.CreateUniqueDir(Base().c_str(), "x", nullptr, &name));
    EXPECT_EQ(name, "unchanged");

    // Once a number is free again, the counter wraps round to find it.
    fs::remove(folder.Path() / "x00002");
    EXPECT_TRUE(dirs.CreateUniqueDir(Base().c_str(), "x", nullptr, &name));
    EXPECT_EQ(name, "x00002");

    EXPECT_FALSE(dirs.CreateUniqueDir(Base().c_str(), "x", nullptr, nullptr));
}

TEST_F(TempDirTest, MissingBaseIsCreatedAndAFileAsBaseFails)
{
    CXTempDir dirs(10000);
    std::string name;
    const std::string base = (folder.Path() / "a" / "b").string();
    ASSERT_TRUE(dirs.CreateUniqueDir(base.c_str(), "t", nullptr, &name));
    EXPECT_TRUE(fs::is_directory(fs::path(base) / name));

    const auto file = folder.WriteFile("plain", "x");
    CXTempDir blocked(20);
    name = "unchanged";
    EXPECT_FALSE(blocked.CreateUniqueDir(file.c_str(), "t", nullptr, &name));
    EXPECT_EQ(name, "unchanged");
}

TEST_F(TempDirTest, ConcurrentCallersNeverShareAFolder)
{
    constexpr int kThreads = 8;
    constexpr int kPerThread = 25;
    std::vector<std::vector<std::string>> names(kThreads);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int i = 0; i < kPerThread; ++i) {
                // A fresh object per folder, as the page re-encoding makes one, so every
                // thread races for the same low numbers.
                CXTempDir dirs(10000);
                std::string name;
                if (dirs.CreateUniqueDir(Base().c_str(), "trawlix", nullptr, &name))
                    names[t].push_back(name);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    std::set<std::string> unique;
    std::size_t total = 0;
    for (const auto& list : names) {
        total += list.size();
        unique.insert(list.begin(), list.end());
    }
    EXPECT_EQ(total, static_cast<std::size_t>(kThreads * kPerThread));
    EXPECT_EQ(unique.size(), total);
    EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(folder.Path()), {})), total);
}

TEST_F(TempDirTest, ConcurrentProcessesNeverShareAFolder)
{
    constexpr int kChildren = 4;
    constexpr int kPerChild = 20;
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Each child notes the folders it won inside the folder itself, so that a folder
            // handed to two callers ends up with two notes.
            for (int i = 0; i < kPerChild; ++i) {
                CXTempDir dirs(10000);
                std::string name;
                if (!dirs.CreateUniqueDir(Base().c_str(), "trawlix", nullptr, &name))
                    _exit(1);
                const std::string note = Base() + "/" + name + "/" + std::to_string(c) + "-" + std::to_string(i);
                if (std::FILE* file = std::fopen(note.c_str(), "w"))
                    std::fclose(file);
                else
                    _exit(1);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::size_t folders = 0;
    for (const auto& entry : fs::directory_iterator(folder.Path())) {
        ++folders;
        EXPECT_EQ(std::distance(fs::directory_iterator(entry.path()), {}), 1) << entry.path();
    }
    EXPECT_EQ(folders, static_cast<std::size_t>(kChildren * kPerChild));
}

TEST_F(TempDirTest, CreateDirectoryPath)
{
    bool existed = true;
    const std::string nested = (folder.Path() / "one" / "two" / "three").string();
    ASSERT_EQ(CreateDirectoryPath(nested, &existed), 1);
    EXPECT_FALSE(existed);
    EXPECT_TRUE(fs::is_directory(nested));

    EXPECT_EQ(CreateDirectoryPath(nested + "//", &existed), 1);
    EXPECT_TRUE(existed);
    EXPECT_EQ(CreateDirectoryPath(folder.Path().string() + "//one//new/", &existed), 1);
    EXPECT_FALSE(existed);
    EXPECT_TRUE(fs::is_directory(folder.Path() / "one" / "new"));
    EXPECT_EQ(CreateDirectoryPath(nested), 1);

    const auto file = folder.WriteFile("file", "x");
    EXPECT_EQ(CreateDirectoryPath(file.string(), &existed), 0);
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_FALSE(existed);
    EXPECT_EQ(CreateDirectoryPath((file / "below").string()), 0);

    EXPECT_EQ(CreateDirectoryPath(""), 0);
}

TEST_F(TempDirTest, CreateDirectoryPathRefusesOverlongPaths)
{
    std::string path = Base() + "/";
    while (path.size() <= kCreatePathMax)
        path += "abcdefgh/";
    EXPECT_EQ(CreateDirectoryPath(path), 0);
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_FALSE(fs::exists(folder.Path() / "abcdefgh"));

    std::string fits = Base() + "/";
    while (fits.size() + 9 <= kCreatePathMax && fits.size() < 250)
        fits += "abcdefgh/";
    EXPECT_EQ(CreateDirectoryPath(fits), 1);
}

TEST(TemporaryDirectoryTest, FollowsTmpdir)
{
    testsupport::TempFolder folder;
    const char* previous = std::getenv("TMPDIR");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("TMPDIR", folder.Path().c_str(), 1);
    const std::string directory = TemporaryDirectory();
    if (previous != nullptr)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_EQ(directory, folder.Path().string());
}

} // namespace
