#include "firmware/vendor_cache.h"

#include "support/dirs/replace_file.h"
#include "support/trace/xdbg.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kMagic = "trawlix vendor answer 1\n";
// Server and path are short; anything longer is no file of ours.
constexpr std::size_t kMaxName = 4096;
constexpr std::size_t kMaxFile = kMagic.size() + 64 + 2 * (kMaxName + 32) + VendorCache::kMaxPage + 32;
// A clock that went back a little must not throw every answer away; one from the far future is
// no answer of ours.
constexpr std::chrono::seconds kClockSlack{300};

std::int64_t UnixSeconds(std::chrono::system_clock::time_point at)
{
    return std::chrono::duration_cast<std::chrono::seconds>(at.time_since_epoch()).count();
}

std::uint64_t Fnv1a(std::string_view text, std::uint64_t hash = 14695981039346656037ull)
{
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// Reads "NAME NUMBER\n" from the front of `in`.
bool ReadNumberLine(std::string_view& in, std::string_view name, std::uint64_t* number)
{
    if (in.size() <= name.size() || in.substr(0, name.size()) != name || in[name.size()] != ' ')
        return false;
    in.remove_prefix(name.size() + 1);
    const std::size_t end = in.find('\n');
    if (end == std::string_view::npos || end == 0 || end > 20)
        return false;
    const auto [rest, ec] = std::from_chars(in.data(), in.data() + end, *number);
    if (ec != std::errc() || rest != in.data() + end)
        return false;
    in.remove_prefix(end + 1);
    return true;
}

// Reads "NAME LENGTH\n" followed by LENGTH bytes and "\n" from the front of `in`.
bool ReadBlock(std::string_view& in, std::string_view name, std::size_t limit, std::string_view* value)
{
    std::uint64_t length = 0;
    if (!ReadNumberLine(in, name, &length) || length > limit || in.size() < length + 1 || in[length] != '\n')
        return false;
    *value = in.substr(0, length);
    in.remove_prefix(length + 1);
    return true;
}

std::string Block(std::string_view name, std::string_view value)
{
    return std::string(name) + " " + std::to_string(value.size()) + "\n" + std::string(value) + "\n";
}

// The whole of a regular file no larger than kMaxFile, never through a symbolic link.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> content;
    struct stat info = {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
        static_cast<std::uint64_t>(info.st_size) <= kMaxFile) {
        std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        if (got == bytes.size())
            content = std::move(bytes);
    }
    ::close(fd);
    return content;
}

} // namespace

VendorCache::VendorCache(std::filesystem::path folder, std::chrono::seconds maxAge, Clock now)
    : folder_(std::move(folder)), maxAge_(maxAge), now_(std::move(now))
{}

std::filesystem::path VendorCache::FileFor(const std::string& server, const std::string& path) const
{
    // The name only spreads the answers over files; the file itself says which answer it holds.
    const std::uint64_t hash = Fnv1a(path, Fnv1a(std::string_view("\0", 1), Fnv1a(server)));
    char name[40];
    std::snprintf(name, sizeof name, "vendor-%016llx.answer", static_cast<unsigned long long>(hash));
    return folder_ / name;
}

bool VendorCache::FolderIsPrivate(bool make) const
{
    if (folder_.empty() || !folder_.is_absolute())
        return false;
    if (make) {
        std::error_code ec;
        std::filesystem::create_directories(folder_.parent_path(), ec);
        if (::mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    // Answers from a folder others may write could be anyone's.
    struct stat info = {};
    return ::stat(folder_.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::optional<std::string> VendorCache::Load(const std::string& server, const std::string& path) const
{
    if (maxAge_.count() <= 0 || !FolderIsPrivate(false))
        return std::nullopt;
    const std::optional<std::string> file = ReadSmallFile(FileFor(server, path));
    if (!file)
        return std::nullopt;
    std::string_view in = *file;
    if (in.substr(0, kMagic.size()) != kMagic)
        return std::nullopt;
    in.remove_prefix(kMagic.size());
    std::uint64_t stored = 0;
    std::string_view storedServer;
    std::string_view storedPath;
    std::string_view page;
    if (!ReadNumberLine(in, "stored", &stored) || !ReadBlock(in, "server", kMaxName, &storedServer) ||
        !ReadBlock(in, "path", kMaxName, &storedPath) || !ReadBlock(in, "page", kMaxPage, &page) || !in.empty())
        return std::nullopt;
    if (storedServer != server || storedPath != path)
        return std::nullopt;
    const std::int64_t now = UnixSeconds(now_());
    if (stored > static_cast<std::uint64_t>(INT64_MAX))
        return std::nullopt;
    const auto at = static_cast<std::int64_t>(stored);
    if (at > now + kClockSlack.count() || now - at >= maxAge_.count())
        return std::nullopt;
    return std::string(page);
}

bool VendorCache::Store(const std::string& server, const std::string& path, const std::string& page) const
{
    if (maxAge_.count() <= 0 || page.size() > kMaxPage || server.size() > kMaxName || path.size() > kMaxName ||
        !FolderIsPrivate(true))
        return false;
    const std::string content = std::string(kMagic) + "stored " + std::to_string(UnixSeconds(now_())) + "\n" +
                                Block("server", server) + Block("path", path) + Block("page", page);
    const int error = ReplaceFile(FileFor(server, path).string(), content);
    if (error != 0)
        XDbgTrace("Vendor cache not written: %s", std::strerror(error));
    return error == 0;
}

std::optional<std::filesystem::path> VendorCacheFolder(const char* xdgCacheHome, const char* home)
{
    if (xdgCacheHome != nullptr && xdgCacheHome[0] == '/')
        return std::filesystem::path(xdgCacheHome) / "trawlix";
    if (home != nullptr && home[0] == '/')
        return std::filesystem::path(home) / ".cache" / "trawlix";
    return std::nullopt;
}
