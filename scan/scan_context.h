#pragma once

#include <string>

// What the scan controller needs to know about the window that receives its results: the
// current login for LX400 adapters. The controller copies these into every job before it starts;
// jobs never read them from the window themselves.
class IScanWindow
{
public:
    virtual ~IScanWindow() = default;
    [[nodiscard]] virtual std::string CurrentUser() const = 0;
    [[nodiscard]] virtual std::string CurrentPassword() const = 0;
    [[nodiscard]] virtual bool CurrentUseHttps() const = 0;
};
