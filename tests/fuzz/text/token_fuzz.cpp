// Splits arbitrary texts with arbitrary delimiters and checks that the fields put together
// again give the source, that the counted and the fetched fields agree, and that the buffer
// form never writes past its buffer.
#include "support/text/token.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // First byte: delimiter length (0-3); second: buffer size for the copying form.
    const std::size_t delimiterLength = std::min<std::size_t>(data[0] % 4, size - 2);
    const std::size_t bufferSize = data[1] % 16;
    const std::string delimiter(reinterpret_cast<const char*>(data + 2), delimiterLength);
    std::string source(reinterpret_cast<const char*>(data + 2 + delimiterLength), size - 2 - delimiterLength);
    source = source.c_str(); // the C form ends at the first NUL
    if (delimiter.find('\0') != std::string::npos)
        return 0;

    const CJToken token(delimiter.c_str());
    const int count = token.GetCount(source.c_str());
    Check(count >= 0);
    Check((count == 0) == source.empty());

    std::string joined;
    for (int field = 1; field <= count; ++field) {
        const std::string value = token.Token(source, field);
        if (field > 1)
            joined += delimiter;
        joined += value;

        std::vector<char> buffer(bufferSize + 1, '\x7f');
        const int result = token.GetToken(buffer.data(), bufferSize, source.c_str(), field, false);
        Check(result == (bufferSize > 0 ? 1 : 0));
        Check(buffer[bufferSize] == '\x7f');
        if (bufferSize > 0)
            Check(std::string(buffer.data()) == value.substr(0, std::min(value.size(), bufferSize - 1)));

        std::int32_t number = 0;
        Check(token.GetTokenLong(&number, source.c_str(), field) == 1);
        double real = 0;
        Check(token.GetTokenDouble(&real, source.c_str(), field) == 1);
    }
    Check(token.Token(source, count + 1).empty());
    if (!delimiter.empty())
        Check(joined == source);
    return 0;
}
