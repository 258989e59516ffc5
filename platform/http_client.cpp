#include "platform/http_client.h"

#include <curl/curl.h>

#include <cstdio>
#include <mutex>

namespace platform {
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

} // namespace

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
    HttpOutcome Run()
    {
        if (curl_multi_add_handle(multi, easy) != CURLM_OK)
            return HttpOutcome::Failed;
        HttpOutcome outcome = HttpOutcome::Failed;
        bool done = false;
        while (!done) {
            if (stop.StopRequested()) {
                outcome = HttpOutcome::Stopped;
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
                switch (message->data.result) {
                case CURLE_OK:
                    outcome = HttpOutcome::Completed;
                    break;
                case CURLE_OPERATION_TIMEDOUT:
                    outcome = HttpOutcome::TimedOut;
                    break;
                default:
                    outcome = HttpOutcome::Failed;
                    break;
                }
            }
            if (done || running == 0)
                break;
            if (curl_multi_poll(multi, nullptr, 0, kStopPollMs, nullptr) != CURLM_OK)
                break;
        }
        curl_multi_remove_handle(multi, easy);
        return outcome;
    }
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
}

HttpSession::~HttpSession() = default;

bool HttpSession::Valid() const
{
    return impl_->easy != nullptr && impl_->multi != nullptr;
}

HttpResponse HttpSession::Perform(const HttpRequest& request)
{
    HttpResponse response;
    if (!Valid())
        return response;
    CURL* easy = impl_->easy;
    const std::string url = EscapeUrlBytes(request.url);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                     static_cast<long>(request.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_NONE));
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, request.verifyTls ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, request.verifyTls ? 2L : 0L);
    const bool credentials = !request.user.empty() || !request.password.empty();
    curl_easy_setopt(easy, CURLOPT_USERNAME, credentials ? request.user.c_str() : nullptr);
    curl_easy_setopt(easy, CURLOPT_PASSWORD, credentials ? request.password.c_str() : nullptr);
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(credentials ? CURLAUTH_ANY : CURLAUTH_BASIC));

    CurlSlist headers;
    for (const std::string& header : request.headers) {
        if (!headers.Append(header))
            return response;
    }
    // A GET first clears whatever method and body the previous request of the handle had.
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, nullptr);
    if (request.method != "GET") {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.c_str());
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
    // Adapters answer the request as sent; no "Expect: 100-continue" round trip before a body.
    headers.Append("Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.list);

    BodySink sink{&response.body, impl_->limits.maxBodyBytes, false};
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);

    response.outcome = impl_->Run();
    if (sink.overflow && response.outcome != HttpOutcome::Stopped)
        response.outcome = HttpOutcome::TooLarge;
    long status = 0;
    if (curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
        response.status = status;
    if (!response.Completed())
        response.body.clear();
    // Nothing of this request may be reached through the handle after it returns.
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, nullptr);
    curl_easy_setopt(easy, CURLOPT_USERNAME, nullptr);
    curl_easy_setopt(easy, CURLOPT_PASSWORD, nullptr);
    return response;
}

} // namespace platform
