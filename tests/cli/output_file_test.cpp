// --output FILE: a reader sees the old file or the new one; links, devices and pipes are not
// replaced; a failure says so in one line.
#include "cli/output_file.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// What WriteOutputFile said on its error stream.
struct Errors
{
    std::FILE* file = std::tmpfile();
    ~Errors() { std::fclose(file); }
    std::string Text() const
    {
        std::rewind(file);
        std::string text;
        for (int c; (c = std::fgetc(file)) != EOF;)
            text += static_cast<char>(c);
        return text;
    }
};

TEST(OutputFileTest, ANewFileForTheCollectorAndReplacementsBesideIt)
{
    testsupport::TempFolder folder;
    const fs::path prom = folder.Path() / "trawlix.prom";
    Errors err;
    const mode_t mask = umask(022);
    EXPECT_EQ(WriteOutputFile(prom.string(), "first\n", err.file), 0);
    umask(mask);
    // node_exporter runs as another user and must read it.
    EXPECT_EQ(fs::status(prom).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(WriteOutputFile(prom.string(), "second\n", err.file), 0);
    EXPECT_EQ(testsupport::TempFolder::ReadFile(prom), "second\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"trawlix.prom"});
    EXPECT_EQ(err.Text(), "");

    // Through a link the file it names is replaced; the link stays a link.
    fs::create_directory(folder.Path() / "real");
    const fs::path real = folder.Path() / "real" / "site.prom";
    const fs::path link = folder.Path() / "link.prom";
    fs::create_symlink(real, link);
    EXPECT_EQ(WriteOutputFile(link.string(), "one\n", err.file), 0); // a link to a file not yet there
    EXPECT_EQ(WriteOutputFile(link.string(), "two\n", err.file), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(testsupport::TempFolder::ReadFile(real), "two\n");
    // What the file held before is read the same way, for the text of a failed search.
    EXPECT_EQ(ReadPreviousOutput(link.string()), "two\n");
    EXPECT_EQ(ReadPreviousOutput((folder.Path() / "none.prom").string()), "");
}

TEST(OutputFileTest, PipesAndDevicesAreWrittenNeverReplaced)
{
    testsupport::TempFolder folder;
    const fs::path fifo = folder.Path() / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string read;
    std::thread reader([&] { read = testsupport::TempFolder::ReadFile(fifo); });
    Errors err;
    EXPECT_EQ(WriteOutputFile(fifo.string(), "through the pipe\n", err.file), 0);
    reader.join();
    EXPECT_EQ(read, "through the pipe\n");
    EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
    EXPECT_EQ(WriteOutputFile("/dev/null", "gone\n", err.file), 0);
    EXPECT_EQ(fs::status("/dev/null").type(), fs::file_type::character);
    // Nothing of ours is in them: never read, and a pipe without a writer holds nothing up.
    EXPECT_EQ(ReadPreviousOutput(fifo.string()), "");
    EXPECT_EQ(ReadPreviousOutput("/dev/zero"), "");
}

TEST(OutputFileTest, FailuresLeaveTheOldFileAndSaySoInOneLine)
{
    testsupport::TempFolder folder;
    const fs::path prom = folder.WriteFile("trawlix.prom", "old\n");
    struct Case
    {
        std::string path;
        const char* message;
    };
    const Case cases[] = {
        {(folder.Path() / "missing" / "x.prom").string(), "No such file or directory"},
        {folder.Path().string(), "Is a directory"},
        {(prom / "below-a-file").string(), "Not a directory"},
        {"", "No such file or directory"},
    };
    for (const Case& c : cases) {
        Errors err;
        EXPECT_EQ(WriteOutputFile(c.path, "new\n", err.file), 1) << c.path;
        EXPECT_EQ(err.Text(), "trawlix-scan: cannot write " + c.path + ": " + c.message + "\n");
    }
    EXPECT_EQ(testsupport::TempFolder::ReadFile(prom), "old\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"trawlix.prom"});
}

} // namespace
