#pragma once

// The LX400 login session: a cookie handed out by a successful login, or HTTP Basic credentials.
#include <deque>
#include <mutex>
#include <string>

namespace sim {

class SessionStore final
{
public:
    // A fresh session token. Only the newest kMaxSessions stay valid, so a client that logs in
    // without end cannot grow the store.
    [[nodiscard]] std::string Open();
    // True when the Cookie header carries kCookieName with a token of this store.
    [[nodiscard]] bool Valid(const std::string& cookieHeader) const;

    static constexpr std::size_t kMaxSessions = 256;
    static constexpr const char* kCookieName = "LX400SESSION";

private:
    mutable std::mutex mutex_;
    std::deque<std::string> tokens_;
};

// True when an "Authorization: Basic ..." header value carries exactly user:password.
[[nodiscard]] bool BasicMatches(const std::string& authorization, const std::string& user, const std::string& password);

} // namespace sim
