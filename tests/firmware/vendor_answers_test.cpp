// The vendor's answers shared within a search: one request per distinct query however many checks
// ask at once, failures shared, a stop honoured by the waiters, and the disk cache between
// searches.
#include "firmware/vendor_answers.h"
#include "firmware/vendor_cache.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::string Answer(const std::string& yours, const std::string& latest)
{
    return "<tr><td><b>Your version:</b></td><td class=\"mainb\">" + yours +
           "</td></tr><tr><td><b>Latest version:</b></td><td class=\"mainb\">" + latest + "</td></tr>";
}

// A vendor's server the test holds: every fetch waits until the test opens the gate (or the
// fetch's stop flag is raised, as a real transfer gives up), then answers from `pages`.
class HeldVendor
{
public:
    VendorAnswers::Fetcher Fetcher()
    {
        return [this](const std::string&, const std::string& path, std::string* page, jwin::StopToken stop) {
            std::unique_lock lock(mutex_);
            paths_.push_back(path);
            changed_.notify_all();
            while (!open_ && !stop.StopRequested())
                changed_.wait_for(lock, 5ms);
            if (stop.StopRequested() || fail_)
                return false;
            page->append(Answer("4.26", "4.30"));
            return true;
        };
    }
    void Open(bool fail = false)
    {
        std::lock_guard lock(mutex_);
        open_ = true;
        fail_ = fail;
        changed_.notify_all();
    }
    void WaitForFetches(std::size_t n)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return paths_.size() >= n; });
    }
    std::vector<std::string> Paths()
    {
        std::lock_guard lock(mutex_);
        return paths_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> paths_;
    bool open_ = false;
    bool fail_ = false;
};

struct Asker
{
    std::atomic<bool> stop{false};
    bool fetched = false;
    std::string page;
    std::thread thread;

    void Ask(VendorAnswers& answers, const std::string& path)
    {
        thread = std::thread([this, &answers, path] {
            fetched = answers.FetchPage("vendor.test", path, &page, jwin::StopToken(&stop));
        });
    }
};

TEST(VendorAnswersTest, TenChecksAtOnceMakeOneRequestPerQuery)
{
    HeldVendor vendor;
    VendorAnswers answers(nullptr, vendor.Fetcher());
    std::vector<std::unique_ptr<Asker>> askers;
    for (int i = 0; i < 10; ++i) {
        askers.push_back(std::make_unique<Asker>());
        askers.back()->Ask(answers, i < 7 ? "q?dev=7" : "q?dev=17");
    }
    vendor.WaitForFetches(2);
    std::this_thread::sleep_for(50ms); // the others find the fetches in flight
    vendor.Open();
    for (auto& asker : askers) {
        asker->thread.join();
        EXPECT_TRUE(asker->fetched);
        EXPECT_EQ(asker->page, Answer("4.26", "4.30"));
    }
    EXPECT_EQ(vendor.Paths().size(), 2u);
    const VendorAnswers::Tally tally = answers.Counts();
    EXPECT_EQ(tally.requests, 2u);
    EXPECT_EQ(tally.shared, 8u);
}

TEST(VendorAnswersTest, AFailedFetchIsSharedAStoppedOneIsAskedAgain)
{
    HeldVendor failing;
    VendorAnswers answers(nullptr, failing.Fetcher());
    failing.Open(/*fail=*/true);
    std::string page;
    EXPECT_FALSE(answers.FetchPage("vendor.test", "q", &page, {}));
    EXPECT_FALSE(answers.FetchPage("vendor.test", "q", &page, {}));
    EXPECT_EQ(failing.Paths().size(), 1u);
    // Another server is another question.
    EXPECT_FALSE(answers.FetchPage("other.test", "q", &page, {}));
    EXPECT_EQ(failing.Paths().size(), 2u);

    // A search stop ends the fetch and every wait for it at once; nothing is learnt from it.
    HeldVendor held;
    VendorAnswers stopped(nullptr, held.Fetcher());
    std::vector<std::unique_ptr<Asker>> askers;
    for (int i = 0; i < 5; ++i) {
        askers.push_back(std::make_unique<Asker>());
        askers.back()->Ask(stopped, "q");
    }
    held.WaitForFetches(1);
    std::this_thread::sleep_for(50ms);
    for (auto& asker : askers)
        asker->stop = true;
    for (auto& asker : askers) {
        asker->thread.join();
        EXPECT_FALSE(asker->fetched);
        EXPECT_EQ(asker->page, "");
    }
    held.Open();
    EXPECT_TRUE(stopped.FetchPage("vendor.test", "q", &page, {}));
    EXPECT_EQ(held.Paths().size(), 2u);
}

TEST(VendorAnswersTest, TheDiskCacheKeepsReadableAnswersForLaterSearches)
{
    testsupport::TempFolder folder;
    auto cache = std::make_shared<VendorCache>(folder.Path() / "trawlix", std::chrono::hours(6));
    int requests = 0;
    std::string served = Answer("4.26", "4.30");
    auto fetch = [&](const std::string&, const std::string&, std::string* page, jwin::StopToken) {
        ++requests;
        page->append(served);
        return true;
    };
    std::string page;
    {
        VendorAnswers search(cache, fetch);
        EXPECT_TRUE(search.FetchPage("vendor.test", "q?dev=7", &page, {}));
    }
    {
        VendorAnswers later(cache, fetch);
        page.clear();
        EXPECT_TRUE(later.FetchPage("vendor.test", "q?dev=7", &page, {}));
        EXPECT_EQ(page, Answer("4.26", "4.30"));
        EXPECT_EQ(later.Counts().fromCache, 1u);
    }
    EXPECT_EQ(requests, 1);

    // A page the update check cannot read (the server's maintenance page) is not kept for hours.
    served = "<html>Service unavailable</html>";
    for (int search = 0; search < 2; ++search) {
        VendorAnswers answers(cache, fetch);
        EXPECT_TRUE(answers.FetchPage("vendor.test", "q?dev=17", &page, {}));
    }
    EXPECT_EQ(requests, 3);
}

} // namespace
