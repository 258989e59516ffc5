#include "app/trace_config_file.h"

#include "support/profile/profile.h"

#include <memory>
#include <optional>
#include <utility>

namespace app {
namespace {

// A profile opened for reading, closed with the last lookup that uses it.
struct OpenProfile
{
    Profile profile;
    OpenProfile() = default;
    OpenProfile(const OpenProfile&) = delete;
    OpenProfile& operator=(const OpenProfile&) = delete;
    ~OpenProfile() { _close_profile(&profile); }
};

} // namespace

xdbg::ConfigSource TraceConfigFile(std::string path)
{
    return [path = std::move(path)]() -> xdbg::ConfigKeyReader {
        auto open = std::make_shared<OpenProfile>();
        if (!_open_profile(&open->profile, path.c_str(), 1))
            return {};
        return [open](const char* key) -> std::optional<std::string> {
            std::string value;
            if (!_read_profile_key(&open->profile, kTraceConfigTopic, key, value))
                return std::nullopt;
            return value;
        };
    };
}

} // namespace app
