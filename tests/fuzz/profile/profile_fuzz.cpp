// Reads arbitrary bytes as a profile, reads keys from it and writes one key back. The first input
// byte chooses the open mode. Besides memory errors it checks two promises: a profile that was
// not changed leaves its file byte for byte as it was, and in the application's read-write mode a
// written key reads back with its value after the file has been written and opened again.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "support/profile/profile.h"

namespace {

std::string g_path;

void WriteFile(const std::string& bytes)
{
    std::ofstream out(g_path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile()
{
    std::ifstream in(g_path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/trawlix-profile-fuzz-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0)
        std::abort();
    close(fd);
    g_path = pattern;
    std::atexit([] { std::remove(g_path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::int32_t mode = 1 + data[0] % 14;
    const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);
    WriteFile(content);

    Profile profile;
    if (!_open_profile(&profile, g_path.c_str(), mode))
        return 0;
    // A writable open writes the header into an empty file; that is the baseline from here on.
    const std::string before = ReadFile();

    std::string value;
    for (const char* topic : {"settings", "@$tmp_topic$@", "", "Settings"}) {
        for (const char* key : {"autoscan", "subnets", "", "my key"}) {
            (void)_read_profile_key(&profile, topic, key, value);
            (void)_read_profile_key_raw(&profile, topic, key, value);
        }
    }
    (void)_dump_profile(&profile);

    const bool writable = (ProfileModeFlags(mode) & PF_WRITABLE) != 0;
    int written = 0;
    if (writable && size > 1) {
        // The last input byte chooses the kind of change.
        switch (data[size - 1] % 4) {
        case 0:
            written = _write_profile_key(&profile, "settings", "autoscan", "0");
            break;
        case 1:
            written = _write_profile_key(&profile, "settings", "autoscan", "");
            break;
        case 2:
            written = _write_profile_key(&profile, "settings", "", "");
            break;
        default:
            written = _write_profile_key(&profile, "new topic", "subnets", "a;b");
            break;
        }
    }
    const bool modified = profile.modified;
    Check(_close_profile(&profile) == 1);
    if (!modified) {
        Check(ReadFile() == before);
        return 0;
    }

    if (mode == 2 && written && data[size - 1] % 4 == 0) {
        Profile again;
        Check(_open_profile(&again, g_path.c_str(), 1) == 1);
        Check(_read_profile_key(&again, "settings", "autoscan", value) == 1 && value == "0");
        _close_profile(&again);
    }
    return 0;
}
