#pragma once

#include "support/threads/stop_token.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace net {

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

// Whom a request goes to. Adapters are devices in the field whose firmware is rarely updated: their
// connections take any certificate, TLS 1.0 and later, RSA key exchange, 1024-bit DHE groups and
// servers without secure renegotiation, and never go through a proxy. Every other peer (the
// vendor's server) gets the system's TLS settings, certificate checks and the environment's proxy.
enum class HttpPeer { Server, Adapter };

struct HttpRequest
{
    std::string url;
    std::string method = "GET";
    std::string body;                 // sent only when not empty
    std::vector<std::string> headers; // "Name: value"
    bool http10 = false;
    HttpPeer peer = HttpPeer::Server;
    // Redirects followed, each only to the host of `url` (port and scheme may change); a sixth
    // one, or one to another host, fails the request without sending anything there.
    int maxRedirects = 5;
    // Credentials the client answers an authentication challenge with (none when empty).
    std::string user;
    std::string password;
};

enum class HttpOutcome {
    Completed, // a response arrived (any status)
    Failed,    // no connection, broken transfer, TLS failure, bad URL, refused redirect
    TimedOut,  // no connection within the connect time-out or no byte for the stall time
    TooLarge,  // the body grew beyond the limit
    Stopped    // the caller's stop token was set
};

// Why a request got no response, in more detail than the outcome.
enum class HttpFailure {
    None,
    Refused,           // the host refused the connection
    Unreachable,       // no route to the host
    Unresolved,        // the host name did not resolve
    ConnectTimeout,    // no connection within the connect time-out
    HandshakeTimeout,  // connected, but the TLS handshake did not finish within the connect time-out
    TlsHandshake,      // the TLS handshake failed; the text holds the TLS library's reason
    Stalled,           // no byte arrived for the stall time
    TimedOut,          // the whole transfer took longer than its limit
    TooLarge,          // the body grew beyond the limit
    RedirectElsewhere, // a redirect led to another host (or away from HTTP); the text holds its target
    TooManyRedirects,  // more redirects than the request allows
    Broken,            // the connection broke or the answer was no HTTP; the text says how
    Stopped            // the caller's stop token was set
};

struct HttpResponse
{
    HttpOutcome outcome = HttpOutcome::Failed;
    long status = 0;
    std::string body;
    HttpFailure failure = HttpFailure::None;
    std::string failureText;
    // The URL of the last request sent: the one that failed, or the one that gave the response.
    std::string url;
    int redirects = 0;
    [[nodiscard]] bool Completed() const { return outcome == HttpOutcome::Completed; }
};

// One HTTP(S) client session: a connection that is reused between its requests, a cookie store
// that carries cookies set by one response to the next requests, the program's user agent, and
// for requests to a server the proxy of the environment. Transfers look at the stop token about
// every 100 ms and give up when it is set. Redirects are followed by the session itself, so that
// each hop can be checked before anything is sent. Not shared between threads.
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

// The host part of an http or https URL as written (letters in lower case), without port and user;
// empty when the URL does not parse or has another scheme.
[[nodiscard]] std::string UrlHost(const std::string& url);

} // namespace net
