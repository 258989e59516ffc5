#include "cli/output_file.h"

#include "scan/record/display_text.h"
#include "scan/record/record_format.h"
#include "support/dirs/replace_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Reason(const std::string& path, int error)
{
    return "cannot write " + TerminalText(PlainTextAsUtf8(path)) + ": " + std::strerror(error);
}

// A device or pipe takes the text as it comes; there is nothing to replace.
int WriteInto(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    for (std::size_t done = 0; done < text.size() && error == 0;) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

} // namespace

std::string ReplaceOutputFile(const std::string& path, const std::string& text)
{
    if (path.empty())
        return Reason(path, ENOENT);
    // Renaming over a link would put a file in its place; the file it names is meant, also
    // before that file exists.
    std::filesystem::path target = path;
    std::error_code ec;
    for (int hop = 0; hop < 40 && std::filesystem::is_symlink(target, ec); ++hop) {
        const std::filesystem::path next = std::filesystem::read_symlink(target, ec);
        if (ec)
            break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    struct stat info = {};
    if (::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode))
            return Reason(path, EISDIR);
        const int error = WriteInto(target.string(), text);
        return error == 0 ? std::string() : Reason(path, error);
    }
    const int error = ReplaceFile(target.string(), text);
    return error == 0 ? std::string() : Reason(path, error);
}

int WriteOutputFile(const std::string& path, const std::string& text, std::FILE* err)
{
    const std::string reason = ReplaceOutputFile(path, text);
    if (reason.empty())
        return 0;
    std::fprintf(err, "trawlix-scan: %s\n", reason.c_str());
    std::fflush(err);
    return 1;
}

std::string ReadPreviousOutput(const std::string& path)
{
    // Non-blocking, so that a FIFO put where the file was never holds the run up.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    struct stat info = {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::uint64_t>(info.st_size) <= kMaxPreviousOutput) {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            if (text.size() + static_cast<std::size_t>(n) > kMaxPreviousOutput) {
                text.clear(); // it grew meanwhile: no text of ours
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return text;
}
