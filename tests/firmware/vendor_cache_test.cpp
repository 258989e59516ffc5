// The vendor's answers on disk: kept for the hours asked, never trusted beyond what the file holds,
// safe with two writers at once, and simply absent where the folder cannot serve.
#include "firmware/vendor_cache.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

struct FakeClock
{
    std::chrono::system_clock::time_point now = std::chrono::system_clock::time_point(1'700'000'000s);
    VendorCache::Clock Clock()
    {
        return [this] { return now; };
    }
};

void Overwrite(const fs::path& file, const std::string& bytes)
{
    fs::remove(file);
    std::ofstream(file, std::ios::binary) << bytes;
}

TEST(VendorCacheTest, KeepsAnAnswerForTheHoursAsked)
{
    testsupport::TempFolder folder;
    FakeClock clock;
    const VendorCache cache(folder.Path() / "cache" / "trawlix", 2h, clock.Clock());
    const std::string page("page\nwith\0bytes", 15);
    EXPECT_FALSE(cache.Load("vendor.test", "q?dev=7"));
    ASSERT_TRUE(cache.Store("vendor.test", "q?dev=7", page));
    EXPECT_EQ(fs::status(cache.Folder()).permissions() & fs::perms::all, fs::perms::owner_all);

    clock.now += 2h - 1s;
    EXPECT_EQ(cache.Load("vendor.test", "q?dev=7"), page);
    EXPECT_FALSE(cache.Load("vendor.test", "q?dev=17"));
    EXPECT_FALSE(cache.Load("other.test", "q?dev=7"));
    clock.now += 1s;
    EXPECT_FALSE(cache.Load("vendor.test", "q?dev=7"));
    // A file from the future (a clock set back by a day, or a forged file) is no answer either.
    clock.now -= 26h;
    EXPECT_FALSE(cache.Load("vendor.test", "q?dev=7"));

    const VendorCache off(folder.Path() / "off", 0s, clock.Clock());
    EXPECT_FALSE(off.Store("vendor.test", "q", "page"));
    EXPECT_FALSE(fs::exists(folder.Path() / "off"));
}

TEST(VendorCacheTest, CorruptOrHostileFilesAreNotAnswers)
{
    testsupport::TempFolder folder;
    FakeClock clock;
    const VendorCache cache(folder.Path() / "trawlix", 6h, clock.Clock());
    ASSERT_TRUE(cache.Store("vendor.test", "q?dev=7", "<b>4.30</b>"));
    const fs::path file = cache.FileFor("vendor.test", "q?dev=7");
    const std::string good = testsupport::TempFolder::ReadFile(file);
    ASSERT_EQ(cache.Load("vendor.test", "q?dev=7"), "<b>4.30</b>");

    ASSERT_TRUE(cache.Store("vendor.test", "q?dev=17", "other"));
    const std::string otherQuestion = testsupport::TempFolder::ReadFile(cache.FileFor("vendor.test", "q?dev=17"));
    const std::string header = "trawlix vendor answer 1\nstored 1700000000\nserver 11\nvendor.test\npath 7\nq?dev=7\n";
    const std::vector<std::string> hostile = {
        "",
        good.substr(0, good.size() - 3), // cut short by a full disk
        good + "x",                      // more than one answer
        "trawlix vendor answer 2" + good.substr(23),
        otherQuestion,                                              // another question's answer under this name
        header + "page 99999999999999999999\n",                     // a length beyond any number
        header + "page 100000\n" + std::string(100000, 'x') + "\n", // beyond the largest page
        header + "page 4\nab\n",                                    // shorter than it says
        header + "page -1\n\n",
        "trawlix vendor answer 1\nstored 17e8\nserver 11\nvendor.test\npath 7\nq?dev=7\npage 1\nx\n",
        std::string(1 << 20, '\0'),
    };
    for (const std::string& bytes : hostile) {
        Overwrite(file, bytes);
        EXPECT_FALSE(cache.Load("vendor.test", "q?dev=7")) << bytes.substr(0, 60);
    }

    // A link to a good answer elsewhere, or a folder in the file's place, is not followed.
    const fs::path elsewhere = folder.WriteFile("elsewhere", good);
    fs::remove(file);
    fs::create_symlink(elsewhere, file);
    EXPECT_FALSE(cache.Load("vendor.test", "q?dev=7"));
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_FALSE(cache.Load("vendor.test", "q?dev=7"));
    EXPECT_FALSE(cache.Store("vendor.test", "q?dev=7", "page"));
    fs::remove(file);

    // A new answer replaces a bad file.
    Overwrite(file, "garbage");
    ASSERT_TRUE(cache.Store("vendor.test", "q?dev=7", "<b>4.31</b>"));
    EXPECT_EQ(cache.Load("vendor.test", "q?dev=7"), "<b>4.31</b>");
}

TEST(VendorCacheTest, AFolderThatCannotServeMeansNoCache)
{
    testsupport::TempFolder folder;
    FakeClock clock;
    // Its parent is a file: nothing can be made there.
    const fs::path file = folder.WriteFile("plain", "x");
    const VendorCache blocked(file / "trawlix", 6h, clock.Clock());
    EXPECT_FALSE(blocked.Store("vendor.test", "q", "page"));
    EXPECT_FALSE(blocked.Load("vendor.test", "q"));

    // Answers from a folder others may write could be anyone's.
    const VendorCache shared(folder.Path() / "shared", 6h, clock.Clock());
    ASSERT_TRUE(shared.Store("vendor.test", "q", "page"));
    fs::permissions(shared.Folder(), fs::perms::group_write | fs::perms::others_write, fs::perm_options::add);
    EXPECT_FALSE(shared.Load("vendor.test", "q"));
    EXPECT_FALSE(shared.Store("vendor.test", "q", "page"));
    fs::permissions(shared.Folder(), fs::perms::owner_all, fs::perm_options::replace);
    EXPECT_TRUE(shared.Load("vendor.test", "q"));
    if (geteuid() == 0) {
        ASSERT_EQ(chown(shared.Folder().c_str(), 65534, 65534), 0);
        EXPECT_FALSE(shared.Load("vendor.test", "q"));
    }

    EXPECT_FALSE(VendorCache(fs::path("relative/trawlix"), 6h, clock.Clock()).Store("vendor.test", "q", "page"));
}

TEST(VendorCacheTest, TwoWritersAtOnceLeaveOneWholeAnswer)
{
    testsupport::TempFolder folder;
    const VendorCache cache(folder.Path() / "trawlix", 6h);
    const std::string first(3000, 'a');
    const std::string second(5000, 'b');
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done) {
            const auto page = cache.Load("vendor.test", "q");
            if (page && *page != first && *page != second)
                ++torn;
        }
    });
    std::vector<std::thread> writers;
    for (const std::string* page : {&first, &second})
        writers.emplace_back([&cache, page] {
            for (int i = 0; i < 50; ++i)
                cache.Store("vendor.test", "q", *page);
        });
    for (auto& writer : writers)
        writer.join();
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    const auto last = cache.Load("vendor.test", "q");
    ASSERT_TRUE(last);
    EXPECT_TRUE(*last == first || *last == second);
    // No half-written file stays behind.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(cache.Folder()))
        ++files;
    EXPECT_EQ(files, 1u);
}

} // namespace
