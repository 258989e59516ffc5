#include "net/proxy_rule.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <strings.h>

namespace net {
namespace {

// A variable that is set and not empty; the client treats an empty one as unset.
const char* Variable(const EnvironmentLookup& environment, const char* name)
{
    const char* value = environment ? environment(name) : nullptr;
    return value != nullptr && *value != '\0' ? value : nullptr;
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool ParseIpv4(std::string_view text, std::uint32_t* address)
{
    if (text.size() >= 16)
        return false;
    const std::string copy(text);
    in_addr parsed{};
    if (inet_pton(AF_INET, copy.c_str(), &parsed) != 1)
        return false;
    *address = ntohl(parsed.s_addr);
    return true;
}

// "10.1.2.3" or "10.0.0.0/8". The bits are read like atoi: leading digits, 0 when none, and a
// count of 0 or 32 compares the whole address.
bool MatchesNetwork(std::uint32_t address, std::string_view token)
{
    if (token.size() >= 128)
        return false;
    std::string_view network = token;
    long bits = 0;
    if (const auto slash = token.find('/'); slash != std::string_view::npos) {
        network = token.substr(0, slash);
        bits = std::strtol(std::string(token.substr(slash + 1)).c_str(), nullptr, 10);
    }
    if (bits < 0 || bits > 32)
        return false;
    std::uint32_t check = 0;
    if (!ParseIpv4(network, &check))
        return false;
    if (bits == 0 || bits == 32)
        return address == check;
    const std::uint32_t mask = 0xFFFFFFFFu << (32 - bits);
    return ((address ^ check) & mask) == 0;
}

bool MatchesName(std::string_view name, std::string_view token)
{
    if (!token.empty() && token.back() == '.')
        token.remove_suffix(1);
    if (!token.empty() && token.front() == '.')
        token.remove_prefix(1);
    if (token.size() == name.size())
        return SameText(token, name);
    if (token.size() < name.size())
        return name[name.size() - token.size() - 1] == '.' && SameText(token, name.substr(name.size() - token.size()));
    return false;
}

} // namespace

const char* ProcessEnvironment(const char* name)
{
    return std::getenv(name);
}

bool MatchesNoProxy(std::string_view host, std::string_view noProxy)
{
    if (host.empty() || noProxy.empty())
        return false;
    if (noProxy == "*")
        return true;
    enum class Kind { Name, Ipv4, Ipv6 } kind = Kind::Name;
    std::uint32_t address = 0;
    if (host.front() == '[') {
        const auto close = host.find(']');
        if (close == std::string_view::npos)
            return false;
        host = host.substr(1, close - 1);
        kind = Kind::Ipv6;
    } else if (ParseIpv4(host, &address)) {
        kind = Kind::Ipv4;
    } else if (host.back() == '.') {
        host.remove_suffix(1);
    }

    std::size_t at = 0;
    while (at < noProxy.size()) {
        const std::size_t end = noProxy.find_first_of(" \t,", at);
        const std::string_view token = noProxy.substr(at, end == std::string_view::npos ? end : end - at);
        at = end == std::string_view::npos ? noProxy.size() : end + 1;
        if (token.empty())
            continue;
        bool match = false;
        switch (kind) {
        case Kind::Name:
            match = MatchesName(host, token);
            break;
        case Kind::Ipv4:
            match = MatchesNetwork(address, token);
            break;
        case Kind::Ipv6:
            // This program speaks IPv4 only; an IPv6 entry matches when written exactly alike.
            match = SameText(token, host);
            break;
        }
        if (match)
            return true;
    }
    return false;
}

bool ReachedThroughProxy(std::string_view scheme, std::string_view host, const EnvironmentLookup& environment)
{
    const char* noProxy = Variable(environment, "no_proxy");
    if (noProxy == nullptr)
        noProxy = Variable(environment, "NO_PROXY");
    if (noProxy != nullptr && MatchesNoProxy(host, noProxy))
        return false;

    const char* proxy = nullptr;
    if (SameText(scheme, "http")) {
        // Never HTTP_PROXY: a CGI program's environment carries the request header "Proxy" as it.
        proxy = Variable(environment, "http_proxy");
    } else if (SameText(scheme, "https")) {
        proxy = Variable(environment, "https_proxy");
        if (proxy == nullptr)
            proxy = Variable(environment, "HTTPS_PROXY");
    }
    if (proxy == nullptr)
        proxy = Variable(environment, "all_proxy");
    if (proxy == nullptr)
        proxy = Variable(environment, "ALL_PROXY");
    return proxy != nullptr;
}

} // namespace net
