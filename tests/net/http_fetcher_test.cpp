// The HTTP layer against a loopback server: what a page fetch returns, how API requests look on
// the wire, and that no server can hold a transfer once the job is stopped.
#include "net/http_fetcher.h"
#include "testsupport/loopback_http_server.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using testsupport::LoopbackHttpServer;

std::string FetchFrom(const LoopbackHttpServer& server, bool* found, const std::string& path = "net.shtml")
{
    std::string page;
    *found = FetchPage(server.Authority(), path, &page);
    return page;
}

TEST(FetchPage, ReturnsBodiesOfAnyStatusByteForByte)
{
    std::string body;
    LoopbackHttpServer server(
        [&body](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Respond(500, body); });
    for (const std::size_t size : {std::size_t{1}, std::size_t{1023}, std::size_t{1024}, std::size_t{70000}}) {
        body.clear();
        for (std::size_t i = 0; i < size; ++i)
            body += static_cast<char>('a' + i % 26);
        bool found = false;
        EXPECT_EQ(FetchFrom(server, &found), body) << size;
        EXPECT_TRUE(found);
    }
    ASSERT_FALSE(server.Requests().empty());
    EXPECT_EQ(server.Requests().front().requestLine, "GET /net.shtml HTTP/1.1");
    EXPECT_EQ(server.Requests().front().Header("User-Agent"), "Trawlix");
}

TEST(FetchPage, NotFoundWordsInAnyCaseMeanNoPage)
{
    std::string body;
    int status = 200;
    LoopbackHttpServer server(
        [&](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Respond(status, body); });
    bool found = true;
    body = "<h1>File Not Found</h1>";
    FetchFrom(server, &found);
    EXPECT_FALSE(found);
    body = "prefix fIlE nOt FoUnD suffix";
    FetchFrom(server, &found);
    EXPECT_FALSE(found);
    status = 404;
    body = "<h1>Error 404</h1>";
    EXPECT_EQ(FetchFrom(server, &found), body);
    EXPECT_TRUE(found);
    std::string* none = nullptr;
    EXPECT_FALSE(FetchPage(server.Authority(), "x", none));
}

TEST(FetchPage, Utf8PagesAreReencodedWhenTheyFit)
{
    testsupport::TempFolder temp;
    setenv("TMPDIR", temp.Path().c_str(), 1);
    std::string body;
    LoopbackHttpServer server(
        [&](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Respond(200, body); });
    bool found = false;
    body = "<meta http-equiv=\"Content-Type\" content=\"text/html; CharSet=Utf-8\">M\xC3\xBCnchen";
    EXPECT_EQ(FetchFrom(server, &found),
              "<meta http-equiv=\"Content-Type\" content=\"text/html; CharSet=Utf-8\">M\xFCnchen");
    EXPECT_TRUE(found);
    body = "<meta charset=\"utf-8\">M\xC3\xBCnchen"; // quoted name: not recognised
    EXPECT_EQ(FetchFrom(server, &found), body);
    body = "<meta charset=utf-8>5 \xE2\x82\xAC"; // does not fit into Latin-1
    EXPECT_EQ(FetchFrom(server, &found), body);
    EXPECT_TRUE(found);
    unsetenv("TMPDIR");
    EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
}

TEST(FetchPage, UnreachableHostsAndOversizedPagesFail)
{
    bool found = true;
    std::string page;
    // A port nobody listens on: refused at once.
    int port = 0;
    {
        LoopbackHttpServer gone(
            [](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Respond(200, ""); });
        port = gone.Port();
    }
    EXPECT_FALSE(FetchPage("127.0.0.1:" + std::to_string(port), "net.shtml", &page));

    LoopbackHttpServer big([](const LoopbackHttpServer::Request&) {
        LoopbackHttpServer::Reply reply;
        const std::string body(17 * 1024 * 1024, 'x');
        reply.bytes = "HTTP/1.0 200 OK\r\nConnection: close\r\n\r\n" + body; // no length announced
        return reply;
    });
    page.clear();
    found = FetchPage(big.Authority(), "net.shtml", &page);
    EXPECT_FALSE(found);
}

TEST(FetchPage, StopEndsATransferToASilentHost)
{
    LoopbackHttpServer silent([](const LoopbackHttpServer::Request&) {
        LoopbackHttpServer::Reply reply;
        reply.silent = true;
        return reply;
    });
    std::atomic<bool> stop{false};
    std::atomic<bool> returned{false};
    bool result = true;
    std::thread fetcher([&] {
        std::string page;
        result = FetchPage(silent.Authority(), "net.shtml", &page, jwin::StopToken(&stop));
        returned = true;
    });
    while (silent.Requests().empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(returned.load());
    stop = true;
    fetcher.join(); // hangs here if the stop is not seen
    EXPECT_FALSE(result);
}

TEST(HttpSession, SilentAndTricklingHostsRunIntoTheLimits)
{
    LoopbackHttpServer silent([](const LoopbackHttpServer::Request&) {
        LoopbackHttpServer::Reply reply;
        reply.silent = true;
        return reply;
    });
    LoopbackHttpServer trickle([](const LoopbackHttpServer::Request&) {
        LoopbackHttpServer::Reply reply = LoopbackHttpServer::Respond(200, std::string(100000, 'x'));
        reply.trickleMs = 20;
        return reply;
    });
    net::HttpLimits limits;
    limits.stallSeconds = 1;
    limits.totalSeconds = 2;
    net::HttpSession session("Trawlix", {}, limits);
    net::HttpRequest request;
    request.url = "http://" + silent.Authority() + "/";
    const net::HttpResponse quiet = session.Perform(request);
    EXPECT_EQ(quiet.outcome, net::HttpOutcome::TimedOut);
    EXPECT_EQ(quiet.failure, net::HttpFailure::Stalled);
    request.url = "http://" + trickle.Authority() + "/";
    const net::HttpResponse response = session.Perform(request);
    EXPECT_EQ(response.outcome, net::HttpOutcome::TimedOut);
    EXPECT_TRUE(response.body.empty());
}

TEST(SendApiRequest, Http10JsonHeaderCookiesAndBodies)
{
    LoopbackHttpServer server([](const LoopbackHttpServer::Request& request) {
        if (request.target == "/api/login")
            return LoopbackHttpServer::Respond(200, "{}", "Set-Cookie: session=abc123; Path=/\r\n");
        if (request.target == "/api/system/info" && request.Header("Cookie") == "session=abc123")
            return LoopbackHttpServer::Respond(200, "{\"name\":\r\n\"LX400\"}\n");
        if (request.target == "/api/denied")
            return LoopbackHttpServer::Respond(403, "not for you");
        return LoopbackHttpServer::Respond(401, "");
    });
    ApiSession session(Ipv4Address(127, 0, 0, 1), server.Port(), false, "admin", "pw");
    long status = 0;
    std::string body = "untouched";
    ASSERT_TRUE(SendApiRequest(&session, "POST", "/api/login", R"({"userName":"admin"})", &status, &body));
    EXPECT_EQ(status, 200);
    ASSERT_TRUE(SendApiRequest(&session, "GET", "/api/system/info", "", &status, &body));
    EXPECT_EQ(status, 200);
    EXPECT_EQ(body, "{\"name\":\r\"LX400\"}"); // line feeds gone, carriage returns kept
    body = "untouched";
    ASSERT_TRUE(SendApiRequest(&session, "GET", "/api/denied", "", &status, &body));
    EXPECT_EQ(status, 403);
    EXPECT_EQ(body, "untouched");

    const auto requests = server.Requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests[0].requestLine, "POST /api/login HTTP/1.0");
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/json");
    EXPECT_EQ(requests[0].body, R"({"userName":"admin"})");
    EXPECT_EQ(requests[1].requestLine, "GET /api/system/info HTTP/1.0");
    EXPECT_EQ(requests[1].Header("Content-Type"), "application/json");
    EXPECT_EQ(requests[1].body, "");
    EXPECT_EQ(requests[1].Header("Content-Length"), "");
}

TEST(SendApiRequest, NoStatusMeansFalse)
{
    int port = 0;
    {
        LoopbackHttpServer gone(
            [](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Respond(200, ""); });
        port = gone.Port();
    }
    ApiSession session(Ipv4Address(127, 0, 0, 1), port, false, "admin", "pw");
    long status = 0;
    std::string body;
    EXPECT_FALSE(SendApiRequest(&session, "GET", "/api/system/info", "", &status, &body));
    EXPECT_FALSE(SendApiRequest(nullptr, "GET", "/api/system/info", "", &status, &body));
}

} // namespace
