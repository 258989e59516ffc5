#include "support/text/paths.h"

namespace {

std::string_view StripLeading(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kPathSeparator);
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

std::string_view StripTrailing(std::string_view text)
{
    const std::size_t last = text.find_last_not_of(kPathSeparator);
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

} // namespace

std::string JoinPath(std::string_view directory, std::string_view name)
{
    if (directory.empty())
        return std::string(name);
    if (name.empty())
        return std::string(directory);
    std::string path(StripTrailing(directory));
    path += kPathSeparator;
    path += StripLeading(name);
    return path;
}

std::string DirectoryOf(std::string_view path)
{
    if (path.size() == 1 && path[0] == kPathSeparator)
        return std::string(path);
    const std::string_view stripped = StripTrailing(path);
    const std::size_t last = stripped.rfind(kPathSeparator);
    if (last == std::string_view::npos)
        return {};
    std::string directory(StripTrailing(stripped.substr(0, last)));
    directory += kPathSeparator;
    return directory;
}

std::string FileNameOf(std::string_view path)
{
    const std::size_t last = path.rfind(kPathSeparator);
    return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string StripTrailingSeparators(std::string_view path)
{
    return std::string(StripTrailing(path));
}
