#include "support/dirs/temp_dir.h"

#include "support/text/paths.h"
#include "support/text/strings.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

int CreateDirectoryPath(const std::string& path, bool* existed)
{
    if (existed != nullptr)
        *existed = false;
    if (path.empty()) {
        errno = ENOENT;
        return 0;
    }
    if (path.size() > kCreatePathMax) {
        errno = ENAMETOOLONG;
        return 0;
    }

    const std::size_t lastEnd = path.find_last_not_of(kPathSeparator);
    if (lastEnd == std::string::npos) {
        // Nothing but separators: the root, which is always there.
        if (existed != nullptr)
            *existed = true;
        return 1;
    }

    std::size_t pos = 0;
    while (pos <= lastEnd) {
        const std::size_t begin = path.find_first_not_of(kPathSeparator, pos);
        std::size_t end = path.find(kPathSeparator, begin);
        if (end == std::string::npos)
            end = path.size();
        pos = end;
        const std::string folder = path.substr(0, end);
        if (mkdir(folder.c_str(), 0777) == 0)
            continue;
        if (errno != EEXIST)
            return 0;
        if (end > lastEnd) {
            // The requested folder itself: something that is no folder does not count.
            struct stat info
            {};
            if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
                errno = ENOTDIR;
                return 0;
            }
            if (existed != nullptr)
                *existed = true;
        }
    }
    return 1;
}

std::string TemporaryDirectory()
{
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::temp_directory_path(error);
    return error ? std::string{} : directory.string();
}

CXTempDir::CXTempDir(std::uint32_t bound) : bound(bound) {}

bool CXTempDir::CreateUniqueDir(const char* base, const char* prefix, const char* extension, std::string* name)
{
    if (name == nullptr)
        return false;
    if (prefix != nullptr && ToUpper(prefix) != ToUpper(lastPrefix)) {
        lastPrefix = prefix;
        counter = 1;
    }
    if (counter == bound)
        counter = 1;

    while (counter < bound) {
        char number[16];
        std::snprintf(number, sizeof number, "%05u", static_cast<unsigned>(counter));
        std::string candidate = prefix != nullptr ? prefix : "";
        candidate += number;
        if (extension != nullptr && *extension != '\0') {
            candidate += '.';
            candidate += extension;
        }
        const std::string path = JoinPath(base != nullptr ? base : "", candidate);
        ++counter;

        struct stat info
        {};
        if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            continue;
        // Only the mkdir that made the folder wins it; a folder that appeared in the meantime
        // shows up as "existed" and belongs to whoever made it.
        bool existed = false;
        if (CreateDirectoryPath(path, &existed) != 0 && !existed) {
            *name = candidate;
            return true;
        }
    }
    return false;
}
