#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace net {

// Reads one environment variable; null when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// The process environment.
[[nodiscard]] const char* ProcessEnvironment(const char* name);

// Whether the HTTP client (libcurl, left with its default proxy settings) sends a request for
// scheme://host/ through a proxy from the environment: http_proxy (lower case only) for http,
// https_proxy or HTTPS_PROXY for https, else all_proxy or ALL_PROXY; an empty variable counts as
// unset. A host that no_proxy (or NO_PROXY) names goes direct.
[[nodiscard]] bool ReachedThroughProxy(std::string_view scheme, std::string_view host,
                                       const EnvironmentLookup& environment = ProcessEnvironment);

// The client's no_proxy matching: "*" alone matches every host; otherwise the list's entries,
// separated by commas or blanks, match an IPv4 address exactly or as a network ("10.0.0.0/8"),
// and a host name exactly or as a domain suffix, without regard to letter case and to a leading
// or trailing dot.
[[nodiscard]] bool MatchesNoProxy(std::string_view host, std::string_view noProxy);

} // namespace net
