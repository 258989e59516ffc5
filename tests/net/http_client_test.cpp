// Redirects and proxies of the HTTP layer, against loopback servers.
#include "net/http_client.h"
#include "testsupport/loopback_http_server.h"
#include "testsupport/recording_proxy.h"
#include "testsupport/scoped_environment.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
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

TEST(HttpProxy, AdaptersAreReachedDirectlyAndServersThroughTheEnvironmentsProxy)
{
    LoopbackHttpServer target([](const LoopbackHttpServer::Request& request) {
        if (request.target == "/moved")
            return Redirect(302, "/net.shtml");
        return LoopbackHttpServer::Respond(200, "direct");
    });
    // A port that is bound but does not listen refuses every connect.
    const int closed = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(closed, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(closed, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int closedPort = ntohs(address.sin_port);
    struct Case
    {
        std::vector<std::pair<std::string, std::string>> variables; // "P" stands for the proxy
        bool serverHttp;                                            // a server's http request is proxied
        bool serverHttps;
    };
    const Case cases[] = {
        {{{"http_proxy", "P"}}, true, false},
        {{{"HTTP_PROXY", "P"}}, false, false}, // the client never takes the upper-case one for http
        {{{"https_proxy", "P"}}, false, true},
        {{{"HTTPS_PROXY", "P"}}, false, true},
        {{{"all_proxy", "P"}}, true, true},
        {{{"ALL_PROXY", "P"}}, true, true},
        {{{"http_proxy", "P"}, {"https_proxy", "P"}, {"no_proxy", "adapter.example"}}, true, true},
        {{{"all_proxy", "P"}, {"NO_PROXY", "10.0.0.0/8"}}, true, true},
        {{{"http_proxy", "P"}, {"https_proxy", "P"}, {"no_proxy", "127.0.0.1"}}, false, false},
    };
    for (const Case& c : cases) {
        testsupport::RecordingProxy proxy;
        std::vector<std::pair<std::string, std::string>> variables = c.variables;
        std::string described;
        for (auto& [name, value] : variables) {
            if (value == "P")
                value = proxy.Url();
            described += name + "=" + value + " ";
        }
        const testsupport::ScopedEnvironment environment(variables);
        for (const bool https : {false, true}) {
            net::HttpSession session("Trawlix", {});
            net::HttpRequest request;
            // Over https the port refuses a direct connect at once; only where the request went counts.
            request.url = https ? "https://127.0.0.1:" + std::to_string(closedPort) + "/net.shtml"
                                : "http://" + target.Authority() + "/moved";
            request.peer = net::HttpPeer::Adapter;
            const std::size_t before = target.Requests().size();
            const std::size_t proxied = proxy.Hosts().size();
            const net::HttpResponse adapter = session.Perform(request);
            if (https) {
                EXPECT_EQ(adapter.failure, HttpFailure::Refused) << described;
            } else {
                EXPECT_EQ(adapter.body, "direct") << described;
                EXPECT_EQ(adapter.redirects, 1) << described;
                EXPECT_EQ(target.Requests().size(), before + 2) << described;
            }
            EXPECT_EQ(proxy.Hosts().size(), proxied) << described << (https ? "https" : "http");

            request.peer = net::HttpPeer::Server;
            (void)session.Perform(request);
            EXPECT_EQ(proxy.Hosts().size() > proxied, https ? c.serverHttps : c.serverHttp)
                << described << (https ? "https" : "http");
        }
    }
    ::close(closed);
}

} // namespace
