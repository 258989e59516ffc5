#include <optional>
#include <string>

#include "support/profile/profile.h"
#include "support/trace/trace_config.h"

namespace xdbg {

TraceConfig ReadTraceConfig(const std::string& path)
{
    Profile profile;
    if (!_open_profile(&profile, path.c_str(), 1))
        return {};
    auto config = BuildTraceConfig([&profile](const char* key) -> std::optional<std::string> {
        std::string value;
        if (!_read_profile_key(&profile, kConfigTopic, key, value))
            return std::nullopt;
        return value;
    });
    _close_profile(&profile);
    return config;
}

} // namespace xdbg
