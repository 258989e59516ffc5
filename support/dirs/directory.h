#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Directory-tree operations on full paths. Error codes are errno values of the failed step.

// Called by CJDirectory::EnumerateFiles with a file's full path and the caller's value; returns
// non-zero to go on, 0 to stop the walk.
using EnumerateFilesCallback = std::function<int(const std::string& path, void* userValue)>;

// Root of the directory classes. It holds the error code of the last failed step and the file
// walker; the tree operations themselves are made by CXDirEx, which works on full paths and
// never changes the process's current directory (which other threads rely on).
class CJDirectory
{
public:
    virtual ~CJDirectory() = default;
    CJDirectory(const CJDirectory&) = delete;
    CJDirectory& operator=(const CJDirectory&) = delete;

    // Deletes the files matching `pattern` in `folder` (and its subfolders when `recursive`),
    // then removes `folder` itself. True when the folder is gone.
    virtual bool RemoveTree(const char* folder, const char* pattern, bool recursive) = 0;
    // The worker of RemoveTree: deletes the matching files, and with `recursive` every subfolder
    // with its matching files. Stops at the first entry that cannot be deleted.
    virtual bool DeleteFilesIn(const char* folder, const char* pattern, bool recursive) = 0;

    // Calls `callback` for every file (not folder) of `directory` whose name matches `pattern`,
    // then, with `recurse`, walks every subfolder the same way, depth first. Returns 1 when every
    // call returned non-zero, 0 when a call stopped the walk or `directory` or `callback` is
    // missing. Paths longer than kMaxPath are left out and noted in LastError().
    int EnumerateFiles(const char* directory, const EnumerateFilesCallback& callback, const char* pattern, bool recurse,
                       void* userValue);

    // errno of the last failed step of the last operation; 0 when none failed.
    [[nodiscard]] int LastError() const { return lastError; }

protected:
    CJDirectory() = default;

    int lastError = 0;

private:
    int EnumerateIn(const std::string& directory, const EnumerateFilesCallback& callback, const char* pattern,
                    bool recurse, void* userValue);
};

class CXDirEx : public CJDirectory
{
public:
    CXDirEx() = default;

    bool RemoveTree(const char* folder, const char* pattern, bool recursive) override;
    bool DeleteFilesIn(const char* folder, const char* pattern, bool recursive) override;

protected:
    // The two deleting steps, replaceable so that tests can make a step fail as it would for a
    // file that is in use or protected. Return 0 or the errno of the failure.
    virtual int RemoveFile(const std::string& path);
    virtual int RemoveFolder(const std::string& path);
};

// Whether `name` matches the file search `pattern`: '*' stands for any run of characters, '?'
// for one; letters compare without regard to case; a pattern ending in ".*" also matches names
// without a dot, so "*.*" matches every name.
[[nodiscard]] bool MatchesFilePattern(const std::string& name, const std::string& pattern);
