// Redirects and failure reasons of the HTTP layer, against loopback servers.
#include "platform/http_client.h"
#include "testsupport/loopback_http_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::HttpFailure;
using testsupport::LoopbackHttpServer;

LoopbackHttpServer::Reply Redirect(int status, const std::string& location, const std::string& headers = {})
{
    return LoopbackHttpServer::Respond(status, "moved", "Location: " + location + "\r\n" + headers);
}

std::vector<std::string> Lines(const LoopbackHttpServer& server)
{
    std::vector<std::string> lines;
    for (const auto& request : server.Requests())
        lines.push_back(request.method + " " + request.target + " " + request.body);
    return lines;
}

TEST(HttpRedirects, MethodAndBodyFollowTheStatusAsInBrowsers)
{
    struct Case
    {
        int status;
        const char* method;
        const char* expected; // the second request as the server saw it
    };
    const Case cases[] = {
        {301, "POST", "GET /to "},           {302, "POST", "GET /to "},
        {303, "POST", "GET /to "},           {307, "POST", "POST /to {\"a\":1}"},
        {308, "POST", "POST /to {\"a\":1}"}, {303, "PUT", "GET /to "},
        {301, "PUT", "PUT /to {\"a\":1}"},   {302, "GET", "GET /to "},
    };
    for (const Case& c : cases) {
        LoopbackHttpServer server([&c](const LoopbackHttpServer::Request& request) {
            if (request.target == "/from")
                return Redirect(c.status, "/to", "Set-Cookie: hop=1; Path=/\r\n");
            return LoopbackHttpServer::Respond(200, "arrived " + request.Header("Cookie"));
        });
        platform::HttpSession session("Trawlix", {});
        platform::HttpRequest request;
        request.url = "http://" + server.Authority() + "/from";
        request.method = c.method;
        request.body = R"({"a":1})";
        request.headers = {"Content-Type: application/json"};
        const platform::HttpResponse response = session.Perform(request);
        ASSERT_TRUE(response.Completed()) << c.status << " " << response.failureText;
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.body, "arrived hop=1") << "cookies carry over the hop";
        EXPECT_EQ(response.redirects, 1);
        const auto lines = Lines(server);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1], c.expected) << c.status << " after " << c.method;
    }
}

TEST(HttpRedirects, SameHostOnAnyPortAtMostFiveTimes)
{
    LoopbackHttpServer target([](const LoopbackHttpServer::Request& request) {
        return LoopbackHttpServer::Respond(200, "page at " + request.target);
    });
    // Every request to /hop/N redirects to /hop/N-1; /hop/0 goes to the other port.
    LoopbackHttpServer chain([&target](const LoopbackHttpServer::Request& request) {
        const int n = std::stoi(request.target.substr(5));
        if (n == 0)
            return Redirect(302, "http://127.0.0.1:" + std::to_string(target.Port()) + "/final");
        return Redirect(301, "/hop/" + std::to_string(n - 1));
    });
    platform::HttpSession session("Trawlix", {});
    platform::HttpRequest request;
    request.url = "http://" + chain.Authority() + "/hop/3";
    platform::HttpResponse response = session.Perform(request);
    ASSERT_TRUE(response.Completed()) << response.failureText;
    EXPECT_EQ(response.body, "page at /final");
    EXPECT_EQ(response.redirects, 4);

    request.url = "http://" + chain.Authority() + "/hop/4"; // five redirects: still followed
    EXPECT_TRUE(session.Perform(request).Completed());
    const std::size_t before = chain.Requests().size();
    request.url = "http://" + chain.Authority() + "/hop/5"; // the sixth is one too many
    response = session.Perform(request);
    EXPECT_EQ(response.failure, HttpFailure::TooManyRedirects);
    EXPECT_EQ(response.outcome, platform::HttpOutcome::Failed);
    EXPECT_TRUE(response.body.empty());
    EXPECT_EQ(chain.Requests().size() - before, 6u);

    request.maxRedirects = 0;
    request.url = "http://" + chain.Authority() + "/hop/1";
    EXPECT_EQ(session.Perform(request).failure, HttpFailure::TooManyRedirects);
}

TEST(HttpRedirects, AnotherHostGetsNothing)
{
    LoopbackHttpServer other([](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Respond(200, ""); },
                             "127.0.0.2");
    const std::string elsewhere = "http://127.0.0.2:" + std::to_string(other.Port()) + "/net.shtml";
    const std::vector<std::string> locations = {elsewhere, "http://localhost:" + std::to_string(other.Port()) + "/",
                                                "ftp://127.0.0.1/net.shtml", "//127.0.0.2/net.shtml"};
    for (const std::string& location : locations) {
        LoopbackHttpServer server([&location](const LoopbackHttpServer::Request&) { return Redirect(302, location); });
        platform::HttpSession session("Trawlix", {});
        platform::HttpRequest request;
        request.url = "http://" + server.Authority() + "/net.shtml";
        const platform::HttpResponse response = session.Perform(request);
        EXPECT_EQ(response.failure, HttpFailure::RedirectElsewhere) << location;
        EXPECT_FALSE(response.Completed());
        EXPECT_NE(response.failureText, "") << location;
        EXPECT_EQ(server.Requests().size(), 1u);
    }
    EXPECT_TRUE(other.Requests().empty());
    // A redirect status without a place to go is the answer itself.
    LoopbackHttpServer bare([](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Respond(302, "x"); });
    platform::HttpSession session("Trawlix", {});
    platform::HttpRequest request;
    request.url = "http://" + bare.Authority() + "/";
    const platform::HttpResponse response = session.Perform(request);
    EXPECT_TRUE(response.Completed());
    EXPECT_EQ(response.status, 302);
}

TEST(HttpFailures, EachWayOfFailingHasItsReason)
{
    int closedPort = 0;
    {
        LoopbackHttpServer gone(
            [](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Respond(200, ""); });
        closedPort = gone.Port();
    }
    LoopbackHttpServer hangUp([](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Reply{}; });
    LoopbackHttpServer garbage([](const LoopbackHttpServer::Request&) {
        LoopbackHttpServer::Reply reply;
        reply.bytes = "SSH-2.0-OpenSSH\r\n\r\n";
        return reply;
    });
    LoopbackHttpServer plain([](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Respond(200, "x"); });
    struct Case
    {
        std::string url;
        HttpFailure failure;
    };
    const Case cases[] = {
        {"http://127.0.0.1:" + std::to_string(closedPort) + "/", HttpFailure::Refused},
        {"http://" + hangUp.Authority() + "/", HttpFailure::Broken},
        {"http://" + garbage.Authority() + "/", HttpFailure::Broken},
        // TLS spoken to a server that waits for an HTTP request: no handshake in time.
        {"https://" + plain.Authority() + "/", HttpFailure::HandshakeTimeout},
    };
    platform::HttpLimits limits;
    limits.connectTimeoutMs = 500;
    for (const platform::HttpPeer peer : {platform::HttpPeer::Server, platform::HttpPeer::Adapter}) {
        for (const Case& c : cases) {
            platform::HttpSession session("Trawlix", {}, limits);
            platform::HttpRequest request;
            request.url = c.url;
            request.peer = peer;
            const platform::HttpResponse response = session.Perform(request);
            EXPECT_EQ(response.failure, c.failure) << c.url << ": " << response.failureText;
            EXPECT_FALSE(response.failureText.empty()) << c.url;
            EXPECT_EQ(response.url, c.url);
        }
    }
}

TEST(UrlHost, LiteralHostInLowerCase)
{
    EXPECT_EQ(platform::UrlHost("http://10.0.0.5/net.shtml"), "10.0.0.5");
    EXPECT_EQ(platform::UrlHost("HTTPS://Vendor.Example:8443/x?y=1"), "vendor.example");
    EXPECT_EQ(platform::UrlHost("http://user:pw@10.0.0.5:81/"), "10.0.0.5");
    EXPECT_EQ(platform::UrlHost("ftp://10.0.0.5/"), "");
    EXPECT_EQ(platform::UrlHost("/relative"), "");
}

} // namespace
