// Redirects of the HTTP layer, against loopback servers.
#include "net/http_client.h"
#include "testsupport/loopback_http_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using net::HttpFailure;
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
        net::HttpSession session("Trawlix", {});
        net::HttpRequest request;
        request.url = "http://" + server.Authority() + "/from";
        request.method = c.method;
        request.body = R"({"a":1})";
        request.headers = {"Content-Type: application/json"};
        const net::HttpResponse response = session.Perform(request);
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
    net::HttpSession session("Trawlix", {});
    net::HttpRequest request;
    request.url = "http://" + chain.Authority() + "/hop/3";
    net::HttpResponse response = session.Perform(request);
    ASSERT_TRUE(response.Completed()) << response.failureText;
    EXPECT_EQ(response.body, "page at /final");
    EXPECT_EQ(response.redirects, 4);

    request.url = "http://" + chain.Authority() + "/hop/4"; // five redirects: still followed
    EXPECT_TRUE(session.Perform(request).Completed());
    request.url = "http://" + chain.Authority() + "/hop/5"; // the sixth is one too many
    response = session.Perform(request);
    EXPECT_EQ(response.failure, HttpFailure::TooManyRedirects);
    EXPECT_TRUE(response.body.empty());
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
        net::HttpSession session("Trawlix", {});
        net::HttpRequest request;
        request.url = "http://" + server.Authority() + "/net.shtml";
        const net::HttpResponse response = session.Perform(request);
        EXPECT_EQ(response.failure, HttpFailure::RedirectElsewhere) << location;
        EXPECT_EQ(server.Requests().size(), 1u);
    }
    EXPECT_TRUE(other.Requests().empty());
}

} // namespace
