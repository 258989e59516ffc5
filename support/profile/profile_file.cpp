#include "support/profile/profile_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace profile_file {

namespace {

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// fclose reports the last buffered write's failure, so a written file is closed by hand.
bool CloseChecked(FilePtr file)
{
    return std::fclose(file.release()) == 0;
}

} // namespace

std::vector<std::string> SplitText(std::string_view bytes)
{
    const std::size_t eof = bytes.find('\x1a');
    if (eof != std::string_view::npos)
        bytes = bytes.substr(0, eof);
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        const std::size_t length = lf == std::string_view::npos ? bytes.size() : lf + 1;
        lines.emplace_back(bytes.substr(0, length));
        bytes.remove_prefix(length);
    }
    return lines;
}

std::vector<std::string> SplitScrambled(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::string line;
    for (const char byte : bytes) {
        line.push_back(static_cast<char>(static_cast<unsigned char>(byte) ^ kScrambleKey[line.size() % 8]));
        const std::size_t n = line.size();
        if (n >= 2 && line[n - 1] == '\n' && line[n - 2] == '\r') {
            line.resize(n - 2);
            lines.push_back(std::move(line));
            line.clear();
        }
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

std::string ScrambleLine(std::string_view line)
{
    std::string out;
    out.reserve(line.size() + 2);
    for (const char c : line)
        out.push_back(static_cast<char>(static_cast<unsigned char>(c) ^ kScrambleKey[out.size() % 8]));
    out.push_back(static_cast<char>('\r' ^ kScrambleKey[out.size() % 8]));
    out.push_back(static_cast<char>('\n' ^ kScrambleKey[out.size() % 8]));
    return out;
}

std::optional<std::string> ReadAll(const char* path)
{
    FilePtr file(std::fopen(path, "rb"));
    if (!file)
        return std::nullopt;
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        if (got > kMaxFileSize - bytes.size())
            return std::nullopt;
        bytes.append(buffer, got);
        if (got < sizeof buffer)
            break;
    }
    if (std::ferror(file.get()))
        return std::nullopt;
    return bytes;
}

bool EnsureWithHeader(const char* path, std::string_view header)
{
    bool empty = false;
    if (FilePtr file{std::fopen(path, "rb")}) {
        const int first = std::fgetc(file.get());
        if (std::ferror(file.get()))
            return false;
        empty = first == EOF;
    } else {
        // Exclusive create: a file that exists but cannot be read is left alone, not emptied.
        const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0)
            return false;
        ::close(fd);
        empty = true;
    }
    if (!empty)
        return true;
    FilePtr file(std::fopen(path, "ab"));
    if (!file)
        return false;
    if (std::fwrite(header.data(), 1, header.size(), file.get()) != header.size())
        return false;
    return CloseChecked(std::move(file));
}

bool WriteAll(const char* path, std::string_view bytes)
{
    FilePtr file(std::fopen(path, "wb"));
    if (!file)
        return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return false;
    return CloseChecked(std::move(file));
}

} // namespace profile_file
