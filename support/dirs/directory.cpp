#include "support/dirs/directory.h"

#include "support/text/paths.h"

#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct DirCloser
{
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// The names in `directory`, "." and ".." included, read before anything is changed so that
// deleting entries cannot disturb the listing. Returns the errno of a failed open, else 0.
int ListDirectory(const std::string& directory, std::vector<std::string>& names)
{
    DirHandle dir(opendir(directory.empty() ? "/" : directory.c_str()));
    if (!dir)
        return errno;
    while (const dirent* entry = readdir(dir.get()))
        names.emplace_back(entry->d_name);
    return 0;
}

bool IsDotEntry(const std::string& name)
{
    return name == "." || name == "..";
}

// A real folder, not a link to one: walks and deletions never leave the tree they were given.
bool IsRealDirectory(const std::string& path)
{
    struct stat info
    {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsDirectoryFollowingLinks(const std::string& path)
{
    struct stat info
    {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// `path` without one trailing separator.
std::string WithoutOneTrailingSeparator(const char* path)
{
    std::string result(path);
    if (!result.empty() && result.back() == kPathSeparator)
        result.pop_back();
    return result;
}

char FoldCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool MatchWildcards(const std::string& name, const std::string& pattern)
{
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starAt = std::string::npos;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::string::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool MatchesFilePattern(const std::string& name, const std::string& pattern)
{
    if (MatchWildcards(name, pattern))
        return true;
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 && name.find('.') == std::string::npos)
        return MatchWildcards(name, pattern.substr(0, pattern.size() - 2));
    return false;
}

int CJDirectory::EnumerateFiles(const char* directory, const EnumerateFilesCallback& callback, const char* pattern,
                                bool recurse, void* userValue)
{
    if (directory == nullptr || *directory == '\0' || !callback)
        return 0;
    lastError = 0;
    const std::string start = WithoutOneTrailingSeparator(directory);
    // A longer directory would have to be cut and another one walked; it is treated as a
    // search that found nothing.
    if (start.size() > kMaxPath) {
        lastError = ENAMETOOLONG;
        return 1;
    }
    return EnumerateIn(start, callback, pattern != nullptr ? pattern : "*", recurse, userValue);
}

int CJDirectory::EnumerateIn(const std::string& directory, const EnumerateFilesCallback& callback, const char* pattern,
                             bool recurse, void* userValue)
{
    lastError = 0;
    std::vector<std::string> names;
    if (const int error = ListDirectory(directory, names); error != 0) {
        lastError = error;
        return 1;
    }

    bool anyMatch = false;
    for (const auto& name : names) {
        if (!MatchesFilePattern(name, pattern))
            continue;
        anyMatch = true;
        const std::string path = directory + kPathSeparator + name;
        if (path.size() > kMaxPath) {
            lastError = ENAMETOOLONG;
            continue;
        }
        if (IsDotEntry(name) || IsDirectoryFollowingLinks(path))
            continue;
        if (callback(path, userValue) == 0)
            return 0;
    }
    if (!anyMatch)
        lastError = ENOENT;

    if (recurse) {
        for (const auto& name : names) {
            if (IsDotEntry(name))
                continue;
            const std::string path = directory + kPathSeparator + name;
            if (path.size() > kMaxPath || !IsRealDirectory(path))
                continue;
            if (EnumerateIn(path, callback, pattern, recurse, userValue) == 0)
                return 0;
        }
    }
    return 1;
}

bool CXDirEx::RemoveTree(const char* folder, const char* pattern, bool recursive)
{
    lastError = 0;
    if (!DeleteFilesIn(folder, pattern, recursive))
        return false;
    if (const int error = RemoveFolder(WithoutOneTrailingSeparator(folder)); error != 0) {
        lastError = error;
        return false;
    }
    return true;
}

bool CXDirEx::DeleteFilesIn(const char* folder, const char* pattern, bool recursive)
{
    // An empty folder name (or "/") would put the search at the root of the file system.
    if (folder == nullptr || pattern == nullptr || *pattern == '\0') {
        lastError = EINVAL;
        return false;
    }
    const std::string directory = WithoutOneTrailingSeparator(folder);
    if (directory.empty()) {
        lastError = EINVAL;
        return false;
    }

    std::vector<std::string> names;
    if (const int error = ListDirectory(directory, names); error != 0) {
        lastError = error;
        return false;
    }

    bool result = false;
    bool anyMatch = false;
    for (const auto& name : names) {
        if (!MatchesFilePattern(name, pattern))
            continue;
        anyMatch = true;
        if (IsDotEntry(name)) {
            result = true;
            continue;
        }
        const std::string path = directory + kPathSeparator + name;
        if (IsRealDirectory(path)) {
            if (!recursive)
                continue;
            if (!DeleteFilesIn(path.c_str(), pattern, recursive))
                return false;
            if (const int error = RemoveFolder(path); error != 0) {
                lastError = error;
                return false;
            }
        } else if (const int error = RemoveFile(path); error != 0) {
            lastError = error;
            return false;
        }
        result = true;
    }
    if (!anyMatch) {
        lastError = ENOENT;
        return false;
    }
    return result;
}

int CXDirEx::RemoveFile(const std::string& path)
{
    // Gone already (another remover was quicker) is as good as deleted.
    return unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

int CXDirEx::RemoveFolder(const std::string& path)
{
    return rmdir(path.c_str()) == 0 ? 0 : errno;
}
