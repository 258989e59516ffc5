#include "net/http_client.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string_view>

namespace net {
namespace {

// How often a running transfer looks at its stop token.
constexpr int kStopPollMs = 100;

struct CurlSlist
{
    curl_slist* list = nullptr;
    ~CurlSlist() { curl_slist_free_all(list); }
    bool Append(const std::string& line)
    {
        curl_slist* next = curl_slist_append(list, line.c_str());
        if (next == nullptr)
            return false;
        list = next;
        return true;
    }
};

struct BodySink
{
    std::string* body = nullptr;
    std::size_t limit = 0;
    bool overflow = false;
};

extern "C" std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* sink = static_cast<BodySink*>(user);
    const std::size_t bytes = size * count;
    if (sink->body->size() + bytes > sink->limit) {
        sink->overflow = true;
        return 0; // makes the transfer fail with a write error
    }
    sink->body->append(data, bytes);
    return bytes;
}

struct CurlUrlFree
{
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlUrl = std::unique_ptr<CURLU, CurlUrlFree>;

std::string UrlPart(CURLU* url, CURLUPart part)
{
    char* text = nullptr;
    if (curl_url_get(url, part, &text, 0) != CURLUE_OK || text == nullptr)
        return {};
    std::string out = text;
    curl_free(text);
    return out;
}

std::string Lower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool UrlIsHttps(const std::string& url)
{
    return Lower(url.substr(0, 6)) == "https:";
}

// Cipher list of adapter connections: the library's default suites at security level 0, which
// admits TLS 1.0 and 1.1, SHA-1 signatures, RSA-1024 keys and 1024-bit DHE groups. The TLS 1.3
// suites are a separate list and stay as they are.
constexpr const char* kAdapterCiphers = "DEFAULT:@SECLEVEL=0";

// Many embedded TLS stacks of the adapters' generation never learnt secure renegotiation (RFC
// 5746), and OpenSSL refuses such a server unless told otherwise. Only adapter connections are
// told; the program never renegotiates, so the attack the extension prevents does not apply.
extern "C" CURLcode AllowLegacyServer(CURL*, void* context, void*)
{
    SSL_CTX_set_options(static_cast<SSL_CTX*>(context), SSL_OP_LEGACY_SERVER_CONNECT);
    return CURLE_OK;
}

// The context handed to the TLS callback is OpenSSL's only when the client library runs on it.
bool TlsLibraryIsOpenSsl()
{
    static const bool openSsl = [] {
        const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
        return info != nullptr && info->ssl_version != nullptr &&
               std::string_view(info->ssl_version).substr(0, 8) == "OpenSSL/";
    }();
    return openSsl;
}

bool IsTlsError(CURLcode code)
{
    switch (code) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
        return true;
    default:
        return false;
    }
}

HttpOutcome OutcomeOf(HttpFailure failure)
{
    switch (failure) {
    case HttpFailure::None:
        return HttpOutcome::Completed;
    case HttpFailure::ConnectTimeout:
    case HttpFailure::HandshakeTimeout:
    case HttpFailure::Stalled:
    case HttpFailure::TimedOut:
        return HttpOutcome::TimedOut;
    case HttpFailure::TooLarge:
        return HttpOutcome::TooLarge;
    case HttpFailure::Stopped:
        return HttpOutcome::Stopped;
    default:
        return HttpOutcome::Failed;
    }
}

bool IsFollowedRedirect(long status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

std::string UrlHost(const std::string& url)
{
    CurlUrl parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return {};
    const std::string scheme = Lower(UrlPart(parsed.get(), CURLUPART_SCHEME));
    if (scheme != "http" && scheme != "https")
        return {};
    return Lower(UrlPart(parsed.get(), CURLUPART_HOST));
}

void HttpGlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string EscapeUrlBytes(const std::string& url)
{
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

struct HttpSession::Impl
{
    std::string userAgent;
    jwin::StopToken stop;
    HttpLimits limits;
    CURL* easy = nullptr;
    CURLM* multi = nullptr;

    ~Impl()
    {
        if (multi != nullptr)
            curl_multi_cleanup(multi);
        if (easy != nullptr)
            curl_easy_cleanup(easy);
    }

    // Runs the prepared easy handle through the multi handle so the wait can be cut into short
    // slices and a stop request ends the transfer at once instead of after the network gives up.
    // Says why the transfer failed, with the client library's text in `text`.
    HttpFailure Run(bool https, std::string* text)
    {
        errorText[0] = '\0';
        if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
            *text = "the client library refused the transfer";
            return HttpFailure::Broken;
        }
        HttpFailure failure = HttpFailure::Broken;
        bool done = false;
        while (!done) {
            if (stop.StopRequested()) {
                failure = HttpFailure::Stopped;
                break;
            }
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK)
                break;
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                done = true;
                failure = Classify(message->data.result, https, text);
            }
            if (done || running == 0)
                break;
            if (curl_multi_poll(multi, nullptr, 0, kStopPollMs, nullptr) != CURLM_OK)
                break;
        }
        curl_multi_remove_handle(multi, easy);
        return failure;
    }

    HttpFailure Classify(CURLcode code, bool https, std::string* text) const
    {
        if (code == CURLE_OK)
            return HttpFailure::None;
        *text = errorText[0] != '\0' ? std::string(errorText) : std::string(curl_easy_strerror(code));
        switch (code) {
        case CURLE_COULDNT_CONNECT: {
            long osError = 0;
            curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
            if (osError == ECONNREFUSED)
                return HttpFailure::Refused;
            if (osError == ETIMEDOUT)
                return HttpFailure::ConnectTimeout;
            if (osError == EHOSTUNREACH || osError == ENETUNREACH)
                return HttpFailure::Unreachable;
            return HttpFailure::Broken;
        }
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return HttpFailure::Unresolved;
        case CURLE_OPERATION_TIMEDOUT: {
            // The connect time-out also bounds the TLS handshake; past both, the stall limit or
            // the limit of the whole transfer ran out. A local port exists once TCP connected.
            long localPort = 0;
            curl_off_t handshaken = 0;
            curl_easy_getinfo(easy, CURLINFO_LOCAL_PORT, &localPort);
            curl_easy_getinfo(easy, CURLINFO_APPCONNECT_TIME_T, &handshaken);
            if (localPort == 0)
                return HttpFailure::ConnectTimeout;
            if (https && handshaken == 0)
                return HttpFailure::HandshakeTimeout;
            // The library keeps no times for a transfer it gave up; its message tells which limit
            // ended it (the low-speed check has said so in these words for decades).
            return text->rfind("Operation too slow", 0) == 0 ? HttpFailure::Stalled : HttpFailure::TimedOut;
        }
        case CURLE_FILESIZE_EXCEEDED:
            return HttpFailure::TooLarge;
        default:
            return IsTlsError(code) ? HttpFailure::TlsHandshake : HttpFailure::Broken;
        }
    }

    // One request of the chain: no redirect is followed here. For a redirect status,
    // `redirectTarget` receives the Location resolved against the request's URL.
    HttpResponse Transfer(const HttpRequest& request, const std::string& rawUrl, const std::string& method,
                          const std::string& body, std::string* redirectTarget);

    char errorText[CURL_ERROR_SIZE] = {};
};

HttpSession::HttpSession(std::string userAgent, jwin::StopToken stop, HttpLimits limits)
    : impl_(std::make_unique<Impl>())
{
    HttpGlobalInit();
    impl_->userAgent = std::move(userAgent);
    impl_->stop = stop;
    impl_->limits = limits;
    impl_->easy = curl_easy_init();
    impl_->multi = curl_multi_init();
    CURL* easy = impl_->easy;
    if (easy == nullptr)
        return;
    // Options every request of the session shares. The handle is kept (not reset) between
    // requests, so its connection and its cookies carry over; the options that differ between
    // requests are all set again by Perform.
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, impl_->userAgent.c_str());
    // An empty cookie file switches the cookie engine on without reading a file.
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, impl_->limits.connectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, impl_->limits.stallSeconds);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, impl_->limits.totalSeconds);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(impl_->limits.maxBodyBytes));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, impl_->errorText);
    // Redirects are followed by Perform, hop by hop, never by the library.
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
}

HttpSession::~HttpSession() = default;

bool HttpSession::Valid() const
{
    return impl_->easy != nullptr && impl_->multi != nullptr;
}

HttpResponse HttpSession::Impl::Transfer(const HttpRequest& request, const std::string& rawUrl,
                                         const std::string& method, const std::string& body,
                                         std::string* redirectTarget)
{
    redirectTarget->clear();
    HttpResponse response;
    response.url = rawUrl;
    const std::string url = EscapeUrlBytes(rawUrl);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                     static_cast<long>(request.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_NONE));
    const bool adapter = request.peer == HttpPeer::Adapter;
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, adapter ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, adapter ? 0L : 2L);
    curl_easy_setopt(easy, CURLOPT_SSLVERSION,
                     static_cast<long>(adapter ? CURL_SSLVERSION_TLSv1_0 : CURL_SSLVERSION_DEFAULT));
    curl_easy_setopt(easy, CURLOPT_SSL_CIPHER_LIST, adapter ? kAdapterCiphers : nullptr);
    if (TlsLibraryIsOpenSsl())
        curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, adapter ? AllowLegacyServer : nullptr);
    // Adapters are always reached directly: the proxy of an office network cannot see the LAN an
    // adapter sits on (or sees another one with the same private addresses), and adapter requests
    // may carry the LX400 password. The empty proxy overrides every proxy variable of the
    // environment and "*" every no_proxy list; a server keeps what the environment says.
    curl_easy_setopt(easy, CURLOPT_PROXY, adapter ? "" : nullptr);
    curl_easy_setopt(easy, CURLOPT_NOPROXY, adapter ? "*" : nullptr);
    const bool credentials = !request.user.empty() || !request.password.empty();
    curl_easy_setopt(easy, CURLOPT_USERNAME, credentials ? request.user.c_str() : nullptr);
    curl_easy_setopt(easy, CURLOPT_PASSWORD, credentials ? request.password.c_str() : nullptr);
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(credentials ? CURLAUTH_ANY : CURLAUTH_BASIC));

    CurlSlist headers;
    for (const std::string& header : request.headers) {
        if (!headers.Append(header)) {
            response.failure = HttpFailure::Broken;
            response.failureText = "out of memory";
            response.outcome = OutcomeOf(response.failure);
            return response;
        }
    }
    // A GET first clears whatever method and body the previous request of the handle had.
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, nullptr);
    if (method != "GET") {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    // Adapters answer the request as sent; no "Expect: 100-continue" round trip before a body.
    headers.Append("Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.list);

    BodySink sink{&response.body, limits.maxBodyBytes, false};
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);

    const bool https = UrlIsHttps(url);
    response.failure = Run(https, &response.failureText);
    if (sink.overflow && response.failure != HttpFailure::Stopped) {
        response.failure = HttpFailure::TooLarge;
        response.failureText = "the answer is larger than " + std::to_string(limits.maxBodyBytes) + " bytes";
    }
    response.outcome = OutcomeOf(response.failure);
    long status = 0;
    if (curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
        response.status = status;
    if (!response.Completed()) {
        response.body.clear();
    } else if (IsFollowedRedirect(response.status)) {
        char* target = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &target) == CURLE_OK && target != nullptr)
            *redirectTarget = target;
    }
    // Nothing of this request may be reached through the handle after it returns.
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, nullptr);
    curl_easy_setopt(easy, CURLOPT_USERNAME, nullptr);
    curl_easy_setopt(easy, CURLOPT_PASSWORD, nullptr);
    return response;
}

HttpResponse HttpSession::Perform(const HttpRequest& request)
{
    if (!Valid()) {
        HttpResponse response;
        response.failure = HttpFailure::Broken;
        response.failureText = "no client handle";
        response.url = request.url;
        return response;
    }
    const std::string origin = UrlHost(EscapeUrlBytes(request.url));
    std::string url = request.url;
    std::string method = request.method;
    std::string body = request.body;
    for (int hop = 0;; ++hop) {
        std::string target;
        HttpResponse response = impl_->Transfer(request, url, method, body, &target);
        response.redirects = hop;
        if (!response.Completed() || !IsFollowedRedirect(response.status))
            return response;
        if (target.empty())
            return response; // a redirect status without a place to go is the answer itself
        auto fail = [&response](HttpFailure failure, std::string text) {
            response.failure = failure;
            response.failureText = std::move(text);
            response.outcome = OutcomeOf(failure);
            response.body.clear();
            return response;
        };
        if (hop >= request.maxRedirects)
            return fail(HttpFailure::TooManyRedirects, target);
        // Only the host that was asked for: a redirect must never make the program talk to an
        // address it was not told to search, nor to another server than the vendor's.
        const std::string host = UrlHost(target);
        if (host.empty() || host != origin)
            return fail(HttpFailure::RedirectElsewhere, target);
        // Method rules as browsers apply them: 303 turns every request into a GET, 301 and 302
        // turn a POST into a GET, 307 and 308 repeat the request as it was.
        if ((response.status == 303 && method != "HEAD") ||
            ((response.status == 301 || response.status == 302) && method == "POST")) {
            method = "GET";
            body.clear();
        }
        url = target;
    }
}

} // namespace net
