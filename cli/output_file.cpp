#include "cli/output_file.h"

#include "scan/record/display_text.h"
#include "scan/record/record_format.h"
#include "support/dirs/replace_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Report(const std::string& path, int error, std::FILE* err)
{
    std::fprintf(err, "trawlix-scan: cannot write %s: %s\n", TerminalText(PlainTextAsUtf8(path)).c_str(),
                 std::strerror(error));
    std::fflush(err);
    return 1;
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

int WriteOutputFile(const std::string& path, const std::string& text, std::FILE* err)
{
    if (path.empty())
        return Report(path, ENOENT, err);
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
            return Report(path, EISDIR, err);
        const int error = WriteInto(target.string(), text);
        return error == 0 ? 0 : Report(path, error, err);
    }
    const int error = ReplaceFile(target.string(), text);
    return error == 0 ? 0 : Report(path, error, err);
}
