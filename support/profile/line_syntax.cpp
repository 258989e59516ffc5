#include "support/profile/line_syntax.h"

namespace profile_syntax {

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string_view SkipWhite(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && IsWhite(line[i]))
        ++i;
    return line.substr(i);
}

} // namespace

bool IsWhite(char c)
{
    return c == '\0' || c == '\t' || c == '\n' || c == '\r' || c == '\x1a' || c == ' ';
}

std::string_view Body(std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

bool HasLineEnd(std::string_view line)
{
    return !line.empty() && line.back() == '\n';
}

bool IsBlank(std::string_view line)
{
    return SkipWhite(line).empty();
}

bool IsComment(std::string_view line)
{
    const std::string_view rest = SkipWhite(line);
    return !rest.empty() && (rest.front() == ';' || rest.front() == '#');
}

bool IsContent(std::string_view line)
{
    const std::string_view rest = SkipWhite(line);
    return !rest.empty() && rest.front() != ';' && rest.front() != '#';
}

bool IsTopicLine(std::string_view line)
{
    // 0: no '[' yet, 1: just after a '[', 2: a name follows a single '[', 3 and more: nested '['.
    unsigned depth = 0;
    for (const char c : line) {
        if (c == '[') {
            ++depth;
        } else if (c == ']') {
            return depth == 2;
        } else if (c == ';' && depth == 0) {
            return false;
        } else if (depth == 1) {
            depth = 2;
        }
    }
    return depth == 3;
}

bool IsKeyLine(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && line[i] == ' ')
        ++i;
    bool letter = false;
    const std::size_t nameStart = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '=') {
        letter = letter || IsAsciiLetter(line[i]);
        ++i;
    }
    if (i == nameStart || !letter)
        return false;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    return i < line.size() && line[i] == '=';
}

std::optional<std::string> BracketName(std::string_view line)
{
    const std::string_view body = Body(line);
    const std::size_t open = body.find_first_of("[;]");
    if (open == std::string_view::npos || body[open] != '[')
        return std::nullopt;
    std::string name;
    for (std::size_t i = open + 1; i < body.size() && body[i] != ']'; ++i) {
        if (body[i] != '[')
            name.push_back(body[i]);
    }
    return name;
}

std::optional<std::string_view> KeyName(std::string_view line, bool verbatim)
{
    const std::string_view rest = SkipWhite(line);
    if (rest.empty() || rest.front() == ';' || rest.front() == '#')
        return std::nullopt;
    if (!verbatim) {
        std::size_t end = 0;
        while (end < rest.size() && rest[end] != '=' && rest[end] != ';' && !IsWhite(rest[end]))
            ++end;
        return rest.substr(0, end);
    }
    std::size_t end = rest.find_first_of("=;");
    if (end == std::string_view::npos)
        end = rest.size();
    while (end > 0 && IsWhite(rest[end - 1]))
        --end;
    return rest.substr(0, end);
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

} // namespace profile_syntax
