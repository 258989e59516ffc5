#include "net/proxy_rule.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(ProxyRule, NoProxyListsMatchLikeTheHttpClient)
{
    struct Case
    {
        const char* host;
        const char* noProxy;
        bool match;
    };
    const Case cases[] = {
        {"10.1.2.3", "*", true},
        {"10.1.2.3", "*,10.9.9.9", false}, // '*' counts only alone
        {"10.1.2.3", "10.1.2.3", true},
        {"10.1.2.3", "example.com 10.1.2.3", true}, // blanks separate as well
        {"10.1.2.3", "10.1.2.0/24", true},
        {"10.1.3.3", "10.1.2.0/24", false},
        {"10.1.2.3", "10.1.2.0/0", false}, // no bits: the whole address
        {"10.1.2.3", "10.1.2.03", false},
        {"10.1.2.3", ".1.2.3", false}, // no suffix matching for addresses
        {"adapter.example.com", "example.com", true},
        {"adapter.example.com", ".EXAMPLE.com.", true},
        {"example.com.", "example.com", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(net::MatchesNoProxy(c.host, c.noProxy), c.match) << c.host << " / " << c.noProxy;
}

TEST(ProxyRule, ProxyVariablesPerSchemeAndTheirOrder)
{
    using Env = std::map<std::string, std::string>;
    struct Case
    {
        Env env;
        bool http;
        bool https;
    };
    const Case cases[] = {
        {{}, false, false},
        {{{"http_proxy", "http://p:3128"}}, true, false},
        {{{"HTTP_PROXY", "http://p:3128"}}, false, false}, // never the upper-case one for http
        {{{"https_proxy", "http://p:3128"}}, false, true},
        {{{"HTTPS_PROXY", "http://p:3128"}}, false, true},
        {{{"all_proxy", "socks5://p"}}, true, true},
        {{{"http_proxy", ""}, {"all_proxy", ""}}, false, false}, // empty counts as unset
        {{{"all_proxy", "http://p"}, {"no_proxy", "10.0.0.0/8"}}, false, false},
        {{{"all_proxy", "http://p"}, {"no_proxy", "192.168.0.0/16"}}, true, true},
        {{{"all_proxy", "http://p"}, {"no_proxy", ""}, {"NO_PROXY", "*"}}, false, false},
    };
    for (const Case& c : cases) {
        const net::EnvironmentLookup lookup = [&c](const char* name) -> const char* {
            const auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        };
        std::string described;
        for (const auto& [name, value] : c.env)
            described += name + "=" + value + " ";
        EXPECT_EQ(net::ReachedThroughProxy("http", "10.1.2.3", lookup), c.http) << described;
        EXPECT_EQ(net::ReachedThroughProxy("https", "10.1.2.3", lookup), c.https) << described;
    }
}

} // namespace
