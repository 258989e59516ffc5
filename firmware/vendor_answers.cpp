#include "firmware/vendor_answers.h"

#include "firmware/update_check.h"
#include "net/http_fetcher.h"

#include <chrono>
#include <utility>

namespace {

// The stop flag cannot wake a waiting thread; waiters look at it this often.
constexpr std::chrono::milliseconds kStopPoll{20};

} // namespace

VendorAnswers::VendorAnswers(std::shared_ptr<const VendorCache> cache, Fetcher fetch)
    : cache_(std::move(cache)), fetch_(std::move(fetch))
{
    if (!fetch_) {
        fetch_ = [](const std::string& server, const std::string& path, std::string* page, jwin::StopToken stop) {
            return ::FetchPage(server, path, page, stop);
        };
    }
}

VendorAnswers::Tally VendorAnswers::Counts() const
{
    std::lock_guard lock(mutex_);
    return tally_;
}

bool VendorAnswers::FetchPage(const std::string& server, const std::string& path, std::string* page,
                              jwin::StopToken stop)
{
    if (page == nullptr)
        return false;
    // A server name holds no line break, so the pair is one key.
    const std::string key = server + '\n' + path;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stop.StopRequested())
            return false;
        Answer& answer = answers_[key];
        if (answer.state == Answer::State::Known) {
            ++tally_.shared;
            page->append(answer.page);
            return answer.fetched;
        }
        if (answer.state == Answer::State::Missing) {
            answer.state = Answer::State::Fetching;
            break;
        }
        known_.wait_for(lock, kStopPoll);
    }
    lock.unlock();

    std::string got;
    const bool fetched = Obtain(server, path, &got, stop);
    const bool stopped = !fetched && stop.StopRequested();

    lock.lock();
    Answer& answer = answers_[key];
    if (stopped) {
        answer.state = Answer::State::Missing;
    } else {
        answer.state = Answer::State::Known;
        answer.fetched = fetched;
        answer.page = got;
    }
    lock.unlock();
    known_.notify_all();
    page->append(got);
    return fetched;
}

bool VendorAnswers::Obtain(const std::string& server, const std::string& path, std::string* page, jwin::StopToken stop)
{
    if (cache_) {
        if (std::optional<std::string> kept = cache_->Load(server, path)) {
            *page = std::move(*kept);
            std::lock_guard lock(mutex_);
            ++tally_.fromCache;
            return true;
        }
    }
    {
        std::lock_guard lock(mutex_);
        ++tally_.requests;
    }
    const bool fetched = fetch_(server, path, page, stop);
    // Only what the update check can read is worth keeping for hours: an error or maintenance
    // page would otherwise stand in for the answer long after the server is back.
    if (fetched && cache_ && ReadVendorVersions(*page, nullptr))
        cache_->Store(server, path, *page);
    return fetched;
}
