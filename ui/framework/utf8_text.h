#pragma once

#include <QString>

#include <string>

namespace trawlix::ui {

// Our texts (string table, templates, display text of records, version data) are UTF-8.
[[nodiscard]] inline QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace trawlix::ui
