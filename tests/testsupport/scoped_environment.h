#pragma once

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Sets environment variables of the test process for its lifetime and removes them again.
class ScopedEnvironment final
{
public:
    explicit ScopedEnvironment(std::vector<std::pair<std::string, std::string>> variables)
        : variables_(std::move(variables))
    {
        for (const auto& [name, value] : variables_)
            ::setenv(name.c_str(), value.c_str(), 1);
    }
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : variables_)
            ::unsetenv(name.c_str());
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::vector<std::pair<std::string, std::string>> variables_;
};

// The variables the HTTP client takes a proxy from.
inline constexpr const char* kProxyVariables[] = {"http_proxy",  "HTTP_PROXY", "https_proxy",
                                                  "HTTPS_PROXY", "all_proxy",  "ALL_PROXY"};

// Every proxy variable set to `proxy`.
inline std::vector<std::pair<std::string, std::string>> EveryProxyVariable(const std::string& proxy)
{
    std::vector<std::pair<std::string, std::string>> variables;
    for (const char* name : kProxyVariables)
        variables.emplace_back(name, proxy);
    return variables;
}

} // namespace testsupport
