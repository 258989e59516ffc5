// trawlix-sim as a process in a private network namespace, spoken to with libcurl the way the
// program's HTTP layer does.
#include "sim_launcher.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

namespace {

constexpr std::uint64_t kBigPage = 128ull * 1024 * 1024;

const std::string kNetwork =
    "legacy 127.0.0.2 plain-width hardware=LX300|firmware=LX200 v 4.26.16|mac=00:0A:9C:00:00:02"
    "|charset=utf-8|location=Keller S\xC3\xBC"
    "d\n"
    "legacy 127.0.0.3 plain page=not-found\n"
    "legacy 127.0.0.4 plain page=error|status=500\n"
    "legacy 127.0.0.5 plain page=router\n"
    "legacy 127.0.0.6 plain hardware=LX300\n"
    "legacy 127.0.0.7 plain hardware=LX300\n"
    "lx400 127.0.1.1 https password=secret|location=B\xC3\xBCro|mac=00:0A:9C:40:00:00\n"
    "lx400 127.0.1.2 http name=LX400|version=1.78.12\n"
    "host 127.0.1.3 nested-json\n"
    "host 127.0.1.4 malformed-json https\n"
    "host 127.77.0.1 huge " +
    std::to_string(kBigPage) +
    "\n"
    "host 127.77.0.2 trickle 0.1\n"
    "host 127.77.0.3 silent\n"
    "vendor 127.0.0.1\n"
    "latest LX400 12 1.80\n"
    "latest LX400 Pro 12 1.90\n"
    "latest 7 16 4.30\n";

struct Reply
{
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    std::string headers;
};

// One easy handle with its cookie engine, like one session of the program's HTTP layer.
class Client final
{
public:
    Client() : handle_(curl_easy_init())
    {
        curl_easy_setopt(handle_, CURLOPT_COOKIEFILE, "");
        curl_easy_setopt(handle_, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT_MS, 3000L);
        curl_easy_setopt(handle_, CURLOPT_TIMEOUT_MS, 30000L);
        curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    ~Client() { curl_easy_cleanup(handle_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    CURL* Handle() { return handle_; }

    Reply Get(const std::string& url) { return Send(url, nullptr); }
    Reply Post(const std::string& url, const std::string& body) { return Send(url, &body); }

    // API requests as the program sends them: HTTP/1.0 with the JSON content type.
    Reply Api(const std::string& url, const std::string* body = nullptr)
    {
        curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
        curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
        Reply reply = Send(url, body);
        curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, nullptr);
        curl_easy_setopt(handle_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_NONE));
        curl_slist_free_all(headers);
        return reply;
    }

private:
    static size_t Append(char* data, size_t size, size_t count, void* target)
    {
        static_cast<std::string*>(target)->append(data, size * count);
        return size * count;
    }

    Reply Send(const std::string& url, const std::string* body)
    {
        Reply reply;
        curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &Append);
        curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &reply.body);
        curl_easy_setopt(handle_, CURLOPT_HEADERFUNCTION, &Append);
        curl_easy_setopt(handle_, CURLOPT_HEADERDATA, &reply.headers);
        if (body) {
            curl_easy_setopt(handle_, CURLOPT_POSTFIELDS, body->c_str());
            curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE, static_cast<long>(body->size()));
        } else {
            curl_easy_setopt(handle_, CURLOPT_HTTPGET, 1L);
        }
        reply.code = curl_easy_perform(handle_);
        curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &reply.status);
        return reply;
    }

    CURL* handle_;
};

bool Parse(const std::string& text, Json::Value& root)
{
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    try {
        return reader->parse(text.data(), text.data() + text.size(), &root, &errors);
    } catch (const std::exception&) {
        return false;
    }
}

const std::string kLogin = R"({"userName":"admin","password":"secret"})";

// The simulator's counters once `condition` holds; the deadline is only a safety net.
Json::Value AwaitStats(const std::function<bool(const Json::Value&)>& condition)
{
    Client client;
    Json::Value stats;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        const Reply reply = client.Get("http://127.0.0.1/__sim/stats");
        if (reply.code == CURLE_OK && Parse(reply.body, stats) && condition(stats))
            return stats;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the simulator's counters never met the condition: " << stats.toStyledString();
    return stats;
}

int Connect(const char* address, int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address, &target.sin_addr);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string RawExchange(const char* address, int port, const std::string& request)
{
    const int fd = Connect(address, port);
    if (fd < 0)
        return {};
    [[maybe_unused]] const auto sent = send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[4096];
    for (ssize_t got; answer.find("\r\n\r\n") == std::string::npos && (got = recv(fd, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, static_cast<std::size_t>(got));
    close(fd);
    return answer;
}

long PeakMemoryKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

class SimIntegrationTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        if (!simtest::EnterPrivateNetwork(skip_))
            return;
        sim_ = simtest::SimProcess::Start(kNetwork, error_).release();
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        sim_ = nullptr;
    }
    void SetUp() override
    {
        if (!skip_.empty())
            GTEST_SKIP() << skip_;
        ASSERT_NE(sim_, nullptr) << error_;
    }

    static inline std::string skip_;
    static inline std::string error_;
    static inline simtest::SimProcess* sim_ = nullptr;
};

TEST_F(SimIntegrationTest, ReadyFileListsEveryListener)
{
    for (const char* listener :
         {"127.0.0.2:80 legacy", "127.0.1.1:443 lx400-https", "127.0.1.2:80 lx400-http", "127.77.0.1:80 huge",
          "127.77.0.2:80 trickle", "127.77.0.3:80 silent", "127.77.0.3:443 silent", "127.0.0.1:80 vendor"})
        EXPECT_NE(sim_->Listeners().find(std::string(listener) + "\n"), std::string::npos) << listener;
}

TEST_F(SimIntegrationTest, LoginSetsASessionCookieThatOpensTheDocuments)
{
    Client client;
    const Reply login = client.Api("https://127.0.1.1/api/login", &kLogin);
    ASSERT_EQ(login.code, CURLE_OK) << curl_easy_strerror(login.code);
    EXPECT_EQ(login.status, 200);
    EXPECT_NE(login.headers.find("Set-Cookie: LX400SESSION="), std::string::npos) << login.headers;

    const Reply info = client.Api("https://127.0.1.1/api/system/info");
    ASSERT_EQ(info.status, 200);
    // An HTTP/1.0 answer ends its connection and says so.
    EXPECT_NE(info.headers.find("Connection: close"), std::string::npos) << info.headers;
    Json::Value document;
    ASSERT_TRUE(Parse(info.body, document)) << info.body;
    EXPECT_EQ(document["name"].asString(), "LX400");
    EXPECT_EQ(document["location"].asString(), "B\xC3\xBCro");

    const Reply config = client.Api("https://127.0.1.1/api/system/network/config");
    ASSERT_EQ(config.status, 200);
    ASSERT_TRUE(Parse(config.body, document)) << config.body;
    EXPECT_EQ(document["ipv4"]["mac"].asString(), "00:0A:9C:40:00:00");
}

TEST_F(SimIntegrationTest, RefusesWrongCredentialsAndRequestsWithoutSession)
{
    Client client;
    const std::string wrong = R"({"userName":"admin","password":"lx400-dflt"})";
    EXPECT_EQ(client.Api("https://127.0.1.1/api/login", &wrong).status, 401);
    const std::string broken = R"({"userName":"admin","password":"se"cret"})";
    EXPECT_EQ(client.Api("https://127.0.1.1/api/login", &broken).status, 400);
    const Reply info = client.Api("https://127.0.1.1/api/system/info");
    EXPECT_EQ(info.status, 401);
    EXPECT_TRUE(info.body.empty() || info.body.find("LX400") == std::string::npos);
    EXPECT_EQ(client.Api("https://127.0.1.1/api/system/network/config").status, 401);

    // Credentials on the connection answer the challenge of a read without cookie.
    curl_easy_setopt(client.Handle(), CURLOPT_USERNAME, "admin");
    curl_easy_setopt(client.Handle(), CURLOPT_PASSWORD, "secret");
    curl_easy_setopt(client.Handle(), CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    EXPECT_EQ(client.Api("https://127.0.1.1/api/system/info").status, 200);
    curl_easy_setopt(client.Handle(), CURLOPT_PASSWORD, "lx400-dflt");
    const Reply refused = client.Api("https://127.0.1.1/api/system/info");
    EXPECT_EQ(refused.status, 401) << curl_easy_strerror(refused.code);
}

TEST_F(SimIntegrationTest, CertificateIsSelfSignedForAnotherName)
{
    Client relaxed;
    curl_easy_setopt(relaxed.Handle(), CURLOPT_CERTINFO, 1L);
    const Reply login = relaxed.Api("https://127.0.1.1/api/login", &kLogin);
    ASSERT_EQ(login.code, CURLE_OK) << curl_easy_strerror(login.code);
    curl_certinfo* certificates = nullptr;
    curl_easy_getinfo(relaxed.Handle(), CURLINFO_CERTINFO, &certificates);
    ASSERT_NE(certificates, nullptr);
    ASSERT_EQ(certificates->num_of_certs, 1);
    std::string subject;
    for (curl_slist* field = certificates->certinfo[0]; field; field = field->next)
        if (std::string(field->data).rfind("Subject:", 0) == 0)
            subject = field->data;
    EXPECT_NE(subject.find("adapter.invalid"), std::string::npos) << subject;

    Client strict;
    curl_easy_setopt(strict.Handle(), CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(strict.Handle(), CURLOPT_SSL_VERIFYHOST, 2L);
    EXPECT_EQ(strict.Api("https://127.0.1.1/api/login", &kLogin).code, CURLE_PEER_FAILED_VERIFICATION);
    // The name alone fails too: the certificate is not made for the adapter's address.
    Client nameOnly;
    curl_easy_setopt(nameOnly.Handle(), CURLOPT_SSL_VERIFYHOST, 2L);
    EXPECT_EQ(nameOnly.Api("https://127.0.1.1/api/login", &kLogin).code, CURLE_PEER_FAILED_VERIFICATION);
}

TEST_F(SimIntegrationTest, PlainLx400ListensOnPort80Only)
{
    Client client;
    const std::string login = R"({"userName":"admin","password":"lx400-dflt"})";
    EXPECT_EQ(client.Api("http://127.0.1.2/api/login", &login).status, 200);
    EXPECT_EQ(client.Api("http://127.0.1.2/api/system/info").status, 200);
    EXPECT_EQ(client.Api("https://127.0.1.2/api/login", &login).code, CURLE_COULDNT_CONNECT);
    const Reply page = client.Api("https://127.0.1.1/net.shtml");
    EXPECT_EQ(page.status, 404);
    EXPECT_NE(page.body.find("File Not Found"), std::string::npos);
}

TEST_F(SimIntegrationTest, HostileJsonAdapters)
{
    Client nested;
    const std::string anyone = R"({"userName":"x","password":"y"})";
    EXPECT_EQ(nested.Api("http://127.0.1.3/api/login", &anyone).status, 200);
    const Reply deep = nested.Api("http://127.0.1.3/api/system/info");
    EXPECT_EQ(deep.status, 200);
    EXPECT_EQ(deep.body, std::string(100000, '['));

    Client malformed;
    const Reply login = malformed.Api("https://127.0.1.4/api/login", &anyone);
    EXPECT_EQ(login.status, 200);
    Json::Value ignored;
    EXPECT_FALSE(Parse(login.body, ignored));
    const Reply config = malformed.Api("https://127.0.1.4/api/system/network/config");
    EXPECT_EQ(config.status, 200);
    EXPECT_FALSE(config.body.empty());
    EXPECT_FALSE(Parse(config.body, ignored));
}

TEST_F(SimIntegrationTest, LegacyPagesAndErrorPages)
{
    struct Case
    {
        const char* url;
        long status;
        const char* present;
        const char* absent;
    };
    const Case cases[] = {
        {"http://127.0.0.2/net.shtml", 200,
         "Location</td><td class=\"mainb\" width=\"100%\">Keller S\xC3\xBC"
         "d<",
         "FILE"},
        {"http://127.0.0.2/net.shtml", 200, "charset=utf-8\"", "charset=\"utf-8\""},
        {"http://127.0.0.3/net.shtml", 404, "File not found", "LX200"},
        {"http://127.0.0.4/net.shtml", 500, "Error 500", "not found"},
        {"http://127.0.0.5/net.shtml", 200, "Welcome", "LX200"},
        {"http://127.0.0.5/", 200, "Welcome", "LX200"},
    };
    Client client;
    for (const auto& c : cases) {
        const Reply reply = client.Get(c.url);
        ASSERT_EQ(reply.code, CURLE_OK) << c.url;
        EXPECT_EQ(reply.status, c.status) << c.url;
        EXPECT_NE(reply.body.find(c.present), std::string::npos) << c.url << "\n" << reply.body;
        EXPECT_EQ(reply.body.find(c.absent), std::string::npos) << c.url << "\n" << reply.body;
    }
}

TEST_F(SimIntegrationTest, VendorAnswersByModelNameAndRejectsUnknownDevices)
{
    Client client;
    Reply reply = client.Get("http://127.0.0.1/cgi-bin/kvt_update.cgi?ver=178&oem=12&dev=LX400");
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find("Your version:</b></td><td class=\"mainb\">1.78<"), std::string::npos);
    EXPECT_NE(reply.body.find("Latest version:</b></td><td class=\"mainb\">1.80<"), std::string::npos);
    reply = client.Get("http://127.0.0.1/cgi-bin/kvt_update.cgi?ver=426&oem=16&dev=7");
    EXPECT_NE(reply.body.find("Latest version:</b></td><td class=\"mainb\">4.30<"), std::string::npos);
    reply = client.Get("http://127.0.0.1/cgi-bin/kvt_update.cgi?ver=100&oem=1&dev=LX999");
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find("FILE NOT FOUND"), std::string::npos);

    // A blank in the raw request target splits the request line: the server refuses it. Encoded,
    // the same model name is understood.
    const std::string blank =
        RawExchange("127.0.0.1", 80, "GET /cgi-bin/kvt_update.cgi?ver=178&oem=12&dev=LX400 Pro HTTP/1.0\r\n\r\n");
    EXPECT_EQ(blank.rfind("HTTP/1.1 400", 0), 0u) << blank;
    reply = client.Get("http://127.0.0.1/cgi-bin/kvt_update.cgi?ver=178&oem=12&dev=LX400%20Pro");
    EXPECT_NE(reply.body.find("Latest version:</b></td><td class=\"mainb\">1.90<"), std::string::npos);
}

TEST_F(SimIntegrationTest, SilentHostAcceptsAndNeverAnswers)
{
    for (const char* url : {"http://127.77.0.3/net.shtml", "https://127.77.0.3/api/login"}) {
        Client client;
        curl_easy_setopt(client.Handle(), CURLOPT_TIMEOUT_MS, 300L);
        const Reply reply = client.Get(url);
        EXPECT_EQ(reply.code, CURLE_OPERATION_TIMEDOUT) << url << ": " << curl_easy_strerror(reply.code);
        EXPECT_TRUE(reply.headers.empty());
    }
    const auto stats =
        AwaitStats([](const Json::Value& s) { return s["hosts"]["127.77.0.3"]["connections"].asInt() >= 2; });
    EXPECT_TRUE(stats["hosts"]["127.77.0.3"]["requests"].empty());
}

TEST_F(SimIntegrationTest, TrickleHostSendsItsBodyByteByByte)
{
    struct Sink
    {
        std::string body;
        int calls = 0;
    } sink;
    Client client;
    curl_easy_setopt(client.Handle(), CURLOPT_URL, "http://127.77.0.2/net.shtml");
    curl_easy_setopt(client.Handle(), CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(
        client.Handle(), CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* target) -> size_t {
            auto* s = static_cast<Sink*>(target);
            s->body.append(data, size * count);
            ++s->calls;
            // Stop once a few pieces have come: the body never ends by itself.
            return s->body.size() >= 4 ? 0 : size * count;
        });
    EXPECT_EQ(curl_easy_perform(client.Handle()), CURLE_WRITE_ERROR);
    long status = 0;
    curl_easy_getinfo(client.Handle(), CURLINFO_RESPONSE_CODE, &status);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(sink.body.rfind("<htm", 0), 0u) << sink.body;
    // One byte per send: unless the client stalled for the whole time, it came in several pieces.
    EXPECT_GE(sink.calls, 2);
}

TEST_F(SimIntegrationTest, BigPageIsStreamedNotHeld)
{
    struct Sink
    {
        std::uint64_t bytes = 0;
        std::string tail;
    } sink;
    Client client;
    curl_easy_setopt(client.Handle(), CURLOPT_URL, "http://127.77.0.1/net.shtml");
    curl_easy_setopt(client.Handle(), CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(
        client.Handle(), CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* target) -> size_t {
            auto* s = static_cast<Sink*>(target);
            s->bytes += size * count;
            s->tail.append(data, size * count);
            if (s->tail.size() > 64)
                s->tail.erase(0, s->tail.size() - 64);
            return size * count;
        });
    ASSERT_EQ(curl_easy_perform(client.Handle()), CURLE_OK);
    EXPECT_EQ(sink.bytes, kBigPage);
    EXPECT_EQ(sink.tail.substr(sink.tail.size() - 15), "</body></html>\n");
    const long peak = PeakMemoryKiB(sim_->Pid());
    ASSERT_GT(peak, 0);
    EXPECT_LT(static_cast<std::uint64_t>(peak) * 1024, kBigPage / 2) << "peak resident size " << peak << " KiB";
}

TEST_F(SimIntegrationTest, CountsRequestsPerPathAndConcurrentConnections)
{
    Client client;
    client.Get("http://127.0.0.7/net.shtml");
    client.Get("http://127.0.0.7/net.shtml");
    client.Get("http://127.0.0.7/status.html");
    const auto counted = AwaitStats([](const Json::Value& s) { return s["hosts"].isMember("127.0.0.7"); });
    EXPECT_EQ(counted["hosts"]["127.0.0.7"]["requests"]["/net.shtml"].asInt(), 2);
    EXPECT_EQ(counted["hosts"]["127.0.0.7"]["requests"]["/status.html"].asInt(), 1);

    int open[3];
    for (int& fd : open) {
        fd = Connect("127.0.0.6", 80);
        ASSERT_GE(fd, 0);
    }
    const auto stats =
        AwaitStats([](const Json::Value& s) { return s["hosts"]["127.0.0.6"]["peakConnections"].asInt() >= 3; });
    EXPECT_EQ(stats["hosts"]["127.0.0.6"]["peakConnections"].asInt(), 3);
    EXPECT_GE(stats["peakConnections"].asInt(), 3);
    for (const int fd : open)
        close(fd);
}

TEST_F(SimIntegrationTest, WritesItsCountersWhenStopped)
{
    std::string error;
    auto second = simtest::SimProcess::Start("legacy 127.0.2.1 plain hardware=LX300\n", error);
    ASSERT_TRUE(second) << error;
    {
        // Closed before the stop, which otherwise waits for the idle connection's keep-alive time.
        Client client;
        EXPECT_EQ(client.Get("http://127.0.2.1/net.shtml").status, 200);
        EXPECT_EQ(client.Get("http://127.0.2.1/net.shtml").status, 200);
    }
    EXPECT_EQ(second->Stop(), 0);
    Json::Value stats;
    ASSERT_TRUE(Parse(second->StatsAfterStop(), stats));
    EXPECT_EQ(stats["hosts"]["127.0.2.1"]["requests"]["/net.shtml"].asInt(), 2);
    EXPECT_EQ(stats["hosts"]["127.0.2.1"]["peakConnections"].asInt(), 1);
    EXPECT_EQ(second->LogAfterStop(), "127.0.2.1 GET /net.shtml 200\n127.0.2.1 GET /net.shtml 200\n");
}

TEST_F(SimIntegrationTest, FailsWhenAnAddressCannotBeBound)
{
    // An address that no interface of the namespace holds: binding fails, nothing is sent.
    std::string error;
    EXPECT_FALSE(simtest::SimProcess::Start("legacy 192.0.2.1 plain hardware=LX300\n", error));
    EXPECT_NE(error.find("status 1"), std::string::npos) << error;
    EXPECT_NE(error.find("cannot listen on 192.0.2.1:80"), std::string::npos) << error;
    EXPECT_FALSE(simtest::SimProcess::Start("legacy 127.0.0.9 fancy\n", error));
    EXPECT_NE(error.find("status 2"), std::string::npos) << error;
}

} // namespace
