#pragma once

#include <stdexcept>
#include <string>

namespace jstd {

// The library's exception: a message and a numeric code.
class Error : public std::runtime_error
{
public:
    Error(const std::string& message, int code) : std::runtime_error(message), code_(code) {}
    [[nodiscard]] int Code() const { return code_; }

private:
    int code_;
};

} // namespace jstd
