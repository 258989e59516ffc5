#pragma once

#include "support/threads/stop_token.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Limits every transfer honours, so that no adapter or server can hold a probe forever or fill
// the memory: a silent address costs the connect time-out, a stalled transfer the stall time.
struct HttpLimits
{
    long connectTimeoutMs = 3000;
    long stallSeconds = 30;
    // A host that trickles a byte now and then never stalls; this bounds the whole transfer.
    long totalSeconds = 60;
    std::size_t maxBodyBytes = std::size_t{16} * 1024 * 1024;
};

struct HttpRequest
{
    std::string url;
    std::string method = "GET";
    std::string body;                 // sent only when not empty
    std::vector<std::string> headers; // "Name: value"
    bool http10 = false;
    bool verifyTls = true;
    // Credentials the client answers an authentication challenge with (none when empty).
    std::string user;
    std::string password;
};

enum class HttpOutcome {
    Completed, // a response arrived (any status)
    Failed,    // no connection, broken transfer, TLS failure, bad URL
    TimedOut,  // no connection within the connect time-out or no byte for the stall time
    TooLarge,  // the body grew beyond the limit
    Stopped    // the caller's stop token was set
};

struct HttpResponse
{
    HttpOutcome outcome = HttpOutcome::Failed;
    long status = 0;
    std::string body;
    [[nodiscard]] bool Completed() const { return outcome == HttpOutcome::Completed; }
};

// One HTTP(S) client session: a connection that is reused between its requests, a cookie store
// that carries cookies set by one response to the next requests, the program's user agent, and
// the proxy of the environment. Transfers look at the stop token about every 100 ms and give up
// when it is set. Not shared between threads.
class HttpSession final
{
public:
    HttpSession(std::string userAgent, jwin::StopToken stop, HttpLimits limits = {});
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    [[nodiscard]] HttpResponse Perform(const HttpRequest& request);

    // False when the client library could not give a handle (out of memory).
    [[nodiscard]] bool Valid() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Initialises the client library once per process; every session calls it, the program may
// call it early at start-up.
void HttpGlobalInit();

// Escapes the bytes a URL cannot carry as they stand (blanks, control characters, bytes above
// 0x7E) as %XX and leaves everything else, including '?', '&' and '=', untouched.
[[nodiscard]] std::string EscapeUrlBytes(const std::string& url);

} // namespace platform
