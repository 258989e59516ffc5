#include "probe/firmware_version.h"

#include "support/text/token.h"

namespace {

// Field lengths the version texts are cut to (buffer sizes including the terminator).
constexpr std::size_t kNumberBuffer = 128;
constexpr std::size_t kComponentBuffer = 64;

std::string TokenOf(const std::string& text, const char* delimiter, int field, std::size_t bufferSize)
{
    CJToken token(delimiter);
    std::string buffer(bufferSize, '\0');
    if (token.GetToken(buffer.data(), buffer.size(), text.c_str(), field, true) == 0)
        return {};
    buffer.resize(buffer.find('\0'));
    return buffer;
}

} // namespace

bool SplitFirmwareVersion(const std::string& version, const std::string& separator, std::string* displayVersion,
                          std::string* compactVersion, std::string* oem)
{
    if (displayVersion == nullptr || compactVersion == nullptr || oem == nullptr)
        return false;
    std::string number = TokenOf(version, separator.c_str(), 2, kNumberBuffer);
    if (number.empty())
        number = TokenOf(version, " ", 1, kNumberBuffer);

    const std::string major = TokenOf(number, ".", 1, kComponentBuffer);
    const std::string minor = TokenOf(number, ".", 2, kComponentBuffer);
    const std::string third = TokenOf(number, ".", 3, kComponentBuffer);

    *displayVersion = major.empty() ? "?" : major;
    *compactVersion = *displayVersion;
    const std::string second = minor.empty() ? "?" : minor;
    *displayVersion += "." + second;
    *compactVersion += second;
    *oem = TokenOf(third, " ", 1, kComponentBuffer);
    return true;
}
