#pragma once

#include "firmware/vendor_cache.h"
#include "support/threads/stop_token.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// The vendor's answers shared by the update checks of one search. Sixty adapters with the same
// firmware send the same request; it goes to the vendor's server once and its answer serves them
// all. While one check fetches an answer, the others that need it wait for it instead of asking
// as well, and a stop ends their wait as promptly as it ends the fetch.
//
// A fetch that failed (no connection, an error page, "file not found") is an answer too: every
// check of this search that needs it gets "Info N/A" at once. Retrying it would make the other
// checks wait for each other's connect time-outs in turn when the vendor cannot be reached, where
// today they all fail within one; the next search asks again. A fetch cut short by a stop is no
// answer: the next check that still runs asks itself.
//
// With a VendorCache, answers the update check can read are kept on disk as well and found there
// by later searches; failures never are.
class VendorAnswers final
{
public:
    // The page access, FetchPage's: appends the page to `page`, false when none came.
    using Fetcher = std::function<bool(const std::string& server, const std::string& path, std::string* page,
                                       jwin::StopToken stop)>;

    // What the answers came from so far.
    struct Tally
    {
        std::size_t requests = 0;  // sent to the vendor's server
        std::size_t fromCache = 0; // read from the disk cache
        std::size_t shared = 0;    // served from an answer of this search
    };

    // `cache` may be null (no disk cache); `fetch` defaults to FetchPage.
    explicit VendorAnswers(std::shared_ptr<const VendorCache> cache = nullptr, Fetcher fetch = {});
    VendorAnswers(const VendorAnswers&) = delete;
    VendorAnswers& operator=(const VendorAnswers&) = delete;

    // FetchPage for the update check: the answer for `path` on `server`, asked once for all.
    // Appends the page to `page`; false when no page came, or when `stop` ended the wait first.
    // Safe to call from any number of threads at once.
    [[nodiscard]] bool FetchPage(const std::string& server, const std::string& path, std::string* page,
                                 jwin::StopToken stop);

    [[nodiscard]] Tally Counts() const;

private:
    struct Answer
    {
        enum class State { Missing, Fetching, Known } state = State::Missing;
        bool fetched = false;
        std::string page;
    };

    [[nodiscard]] bool Obtain(const std::string& server, const std::string& path, std::string* page,
                              jwin::StopToken stop);

    std::shared_ptr<const VendorCache> cache_;
    Fetcher fetch_;
    mutable std::mutex mutex_;
    std::condition_variable known_;
    std::map<std::string, Answer> answers_;
    Tally tally_;
};
