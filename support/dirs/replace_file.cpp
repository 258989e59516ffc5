#include "support/dirs/replace_file.h"

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Owns a descriptor; closes it on every way out.
class Descriptor final
{
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    [[nodiscard]] int Get() const { return fd_; }
    // Closes now; 0 or the errno of close.
    int Close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

int WriteAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// Writes the new content into `temporary`; 0 or the errno of the failed step.
int WriteTemporary(const std::string& temporary, const std::string& path, std::string_view content)
{
    Descriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.Get() < 0)
        return errno;
    struct stat old = {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) && ::fchmod(fd.Get(), old.st_mode & 07777) != 0)
        return errno;
    if (const int error = WriteAll(fd.Get(), content); error != 0)
        return error;
    if (::fsync(fd.Get()) != 0)
        return errno;
    return fd.Close();
}

// The rename reaches the disk with its folder; until then a crash may bring the old file back.
// The file is in place either way, so a folder that cannot be synced is no failure.
void SyncFolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0)
        ::fsync(fd.Get());
}

} // namespace

int ReplaceFile(const std::string& path, std::string_view content)
{
    static std::atomic<unsigned> counter{0};
    int error = EEXIST;
    std::string temporary;
    // A name of our own beside the file; another writer's leftover is stepped round.
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        temporary = path + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        error = WriteTemporary(temporary, path, content);
        if (error != 0 && error != EEXIST)
            ::unlink(temporary.c_str());
    }
    if (error != 0)
        return error;
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
        ::unlink(temporary.c_str());
        return error;
    }
    SyncFolderOf(path);
    return 0;
}
