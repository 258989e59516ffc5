#include "firmware/flash_tool.h"

#include "support/dirs/directory.h"
#include "support/profile/profile.h"
#include "support/text/paths.h"
#include "support/text/strings.h"
#include "support/text/system.h"
#include "support/text/token.h"
#include "support/text/version_info.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The first line of `path`, at most kFirmwareVersionMaxChars characters; false when the file
// cannot be opened or holds no character at all.
bool ReadFirstLine(const std::string& path, std::string& line)
{
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "r"));
    if (!file)
        return false;
    char buffer[kFirmwareVersionMaxChars + 1];
    if (std::fgets(buffer, sizeof buffer, file.get()) == nullptr)
        return false;
    line = buffer;
    return true;
}

// A firmware folder as the tool's INI names it, written for the platform the tool comes from:
// its backslashes are separators here.
std::string FolderFromIni(std::string value)
{
    std::replace(value.begin(), value.end(), '\\', kPathSeparator);
    return value;
}

// The INI key of adapter type entry `n`: "adap" and at least two digits.
std::string AdapterKey(int n)
{
    char key[32];
    std::snprintf(key, sizeof key, "adap%02d", n);
    return key;
}

bool IsExecutableFile(const std::string& path)
{
    struct stat info
    {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Writes all of `value` to `fd` with async-signal-safe calls only (used between fork and exec).
void WriteErrno(int fd, int value)
{
    const char* bytes = reinterpret_cast<const char*>(&value);
    std::size_t done = 0;
    while (done < sizeof value) {
        const ssize_t n = ::write(fd, bytes + done, sizeof value - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

std::string FindFlashToolIn(const std::string& folder)
{
    std::vector<std::string> files;
    CXDirEx directory;
    (void)directory.EnumerateFiles(
        folder.c_str(),
        [&files](const std::string& path, void*) {
            files.push_back(path);
            return 1;
        },
        "*.exe", false, nullptr);

    // One reader serves the whole list; a file without version data leaves it as it was, and
    // a later successful Load replaces what it held.
    CJVersionInfo versionInfo;
    for (const std::string& file : files) {
        if (versionInfo.Load(file) && ToLower(versionInfo.OriginalFilename()) == kFlashToolOriginalName)
            return file;
    }
    return {};
}

void FindFlashTool(FlashToolState& state, const DeviceRecord* selected)
{
    FindFlashTool(state, selected, ModuleDirectory());
}

void FindFlashTool(FlashToolState& state, const DeviceRecord* selected, const std::string& folder)
{
    // LX400 adapters are updated through their own web interface, not by the tool.
    if (selected == nullptr || selected->jsonApi)
        return;
    state.flashToolPath.clear();
    state.flashToolFound = false;
    std::string tool = FindFlashToolIn(folder);
    if (!tool.empty()) {
        state.flashToolPath = std::move(tool);
        state.flashToolFound = true;
    }
}

int FlashToolOemOfFolderName(std::string_view name)
{
    constexpr std::string_view kPrefix = "update";
    // The vendor's archives unpack into "update" + OEM number; a name holding the word
    // elsewhere ("xupdate7", "old-update") is not such a folder, and its number would be a guess.
    if (name.substr(0, kPrefix.size()) != kPrefix)
        return -1;
    long long number = 0;
    for (char c : name.substr(kPrefix.size())) {
        if (c < '0' || c > '9')
            break;
        number = std::min<long long>(number * 10 + (c - '0'), INT_MAX);
    }
    return static_cast<int>(number);
}

int FlashToolOem(const FlashToolState& state)
{
    if (!state.flashToolFound || state.flashToolPath.empty())
        return -1;
    return FlashToolOemOfFolderName(FileNameOf(StripTrailingSeparators(DirectoryOf(state.flashToolPath))));
}

std::string LocalFirmwareVersion(const FlashToolState& state, std::int32_t deviceId, const std::string& firmware)
{
    std::string result = firmware;
    // Without a tool there is no tool folder; an empty one would make the INI's path relative to
    // the current directory.
    if (state.flashToolPath.empty())
        return result;
    for (const AdapterTypeEntry& type : ListAdapterTypes(DirectoryOf(state.flashToolPath))) {
        if (type.deviceId != deviceId)
            continue;
        // The first entry of the model decides, also when its folder tells no version.
        if (type.localVersion)
            result = *type.localVersion;
        break;
    }
    return result;
}

std::vector<AdapterTypeEntry> ListAdapterTypes(const std::string& toolFolder)
{
    std::vector<AdapterTypeEntry> entries;
    // A profile of its own: the process-wide one may hold the program's settings at the time.
    Profile ini;
    if (toolFolder.empty() || !_open_profile(&ini, JoinPath(toolFolder, kFlashToolIni).c_str(), 1))
        return entries;
    const CJToken fields("|");
    std::string entry;
    for (int n = 0; _read_profile_key(&ini, "AdapterTypes", AdapterKey(n).c_str(), entry); ++n) {
        AdapterTypeEntry type;
        (void)fields.GetTokenLong(&type.deviceId, entry.c_str(), 1);
        char section[kAdapterSectionMaxChars + 1] = {};
        (void)fields.GetToken(section, sizeof section, entry.c_str(), 2, true);
        type.section = section;
        std::string folder;
        if (_read_profile_key(&ini, section, "files", folder) ||
            _read_profile_key(&ini, section, "sharedfiles", folder)) {
            std::string line;
            if (ReadFirstLine(JoinPath(JoinPath(toolFolder, FolderFromIni(folder)), kFirmwareVersionFile), line))
                type.localVersion = Trim(line);
        }
        entries.push_back(std::move(type));
    }
    _close_profile(&ini);
    return entries;
}

bool LaunchFlashTool(const FlashToolState& state, const std::string& ip, const ProcessStarter& starter)
{
    if (state.flashToolPath.empty())
        return false;
    const ProcessStarter& start = starter ? starter : ProcessStarter(StartDetachedProcess);
    std::vector<std::string> toolArguments;
    if (!ip.empty())
        toolArguments = {"-ip", ip};

    // The tool is a Windows program: wine runs it with its arguments. Without wine the desktop's
    // opener decides what to do with the file; it takes no arguments for the program.
    const std::string wine = FindOnPath("wine");
    if (!wine.empty()) {
        std::vector<std::string> arguments{state.flashToolPath};
        arguments.insert(arguments.end(), toolArguments.begin(), toolArguments.end());
        return start(wine, arguments);
    }
    const std::string opener = FindOnPath("xdg-open");
    return start(opener.empty() ? std::string("xdg-open") : opener, {state.flashToolPath});
}

std::string FindOnPath(std::string_view name)
{
    if (name.empty() || name.find('/') != std::string_view::npos)
        return {};
    const char* path = std::getenv("PATH");
    // An unset PATH means the C library's default search path.
    const std::string folders = path != nullptr ? path : "/bin:/usr/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        // An empty entry is the current directory, which a program starter should not trust.
        if (!folder.empty()) {
            const std::string candidate = JoinPath(folder, name);
            if (IsExecutableFile(candidate))
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

bool StartDetachedProcess(const std::string& program, const std::vector<std::string>& arguments)
{
    const std::string executable = program.find('/') != std::string::npos ? program : FindOnPath(program);
    if (executable.empty() || !IsExecutableFile(executable))
        return false;

    // Everything the children need is prepared here: after fork only async-signal-safe calls.
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    // The grandchild reports a failed exec through this pipe; a successful exec closes it.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            WriteErrno(report[1], errno);
            ::_exit(1);
        }
        if (grandchild > 0)
            ::_exit(0);
        ::execve(executable.c_str(), argv.data(), environ);
        WriteErrno(report[1], errno);
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int failure = 0;
    ssize_t got = 0;
    do {
        got = ::read(report[0], &failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    return got == 0;
}
