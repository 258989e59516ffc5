#include "support/text/system.h"

#include "support/text/paths.h"

#include <fstream>
#include <limits.h>
#include <sstream>
#include <unistd.h>

namespace {

constexpr unsigned kCapNetAdmin = 12;

std::string ReadWholeFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

} // namespace

std::string ModuleFileName()
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    // A full buffer may mean a cut-off path; a path beyond the program's limit is no answer
    // either, because everything joined to it would be cut later.
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer || static_cast<std::size_t>(length) > kMaxPath)
        return {};
    return std::string(buffer, static_cast<std::size_t>(length));
}

std::string ModuleDirectory()
{
    const std::string file = ModuleFileName();
    return file.empty() ? std::string{} : DirectoryOf(file);
}

bool StatusGrantsNetAdmin(std::string_view procStatus)
{
    constexpr std::string_view kKey = "CapEff:";
    std::size_t line = 0;
    while (line < procStatus.size()) {
        std::size_t end = procStatus.find('\n', line);
        if (end == std::string_view::npos)
            end = procStatus.size();
        std::string_view text = procStatus.substr(line, end - line);
        if (text.substr(0, kKey.size()) == kKey) {
            text.remove_prefix(kKey.size());
            while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
                text.remove_prefix(1);
            std::uint64_t mask = 0;
            std::size_t digits = 0;
            for (char c : text) {
                unsigned nibble = 0;
                if (c >= '0' && c <= '9')
                    nibble = static_cast<unsigned>(c - '0');
                else if (c >= 'a' && c <= 'f')
                    nibble = static_cast<unsigned>(c - 'a' + 10);
                else if (c >= 'A' && c <= 'F')
                    nibble = static_cast<unsigned>(c - 'A' + 10);
                else
                    break;
                if (++digits > 16)
                    return false;
                mask = (mask << 4) | nibble;
            }
            return digits > 0 && (mask >> kCapNetAdmin & 1u) != 0;
        }
        line = end + 1;
    }
    return false;
}

int IsUserAdministrator()
{
    if (geteuid() == 0)
        return 1;
    // Capabilities belong to threads; the process file is the fallback for older kernels.
    std::string status = ReadWholeFile("/proc/thread-self/status");
    if (status.empty())
        status = ReadWholeFile("/proc/self/status");
    return StatusGrantsNetAdmin(status) ? 1 : 0;
}

std::int32_t HResultFromWin32(std::int32_t code)
{
    if (code <= 0)
        return code;
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(code) & 0xFFFFu) | 0x80070000u);
}
