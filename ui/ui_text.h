#pragma once

#include <QString>
#include <QStringList>

#include <string>

// Text helpers of the window and its controls.
namespace trawlix::ui {

// Our texts (string table, templates, display text of records) are UTF-8.
[[nodiscard]] inline QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A string-table text with its "%s" and "%d" places filled in order. The pattern comes from our
// own table, so no printf formatting is needed (and none of outside text is done).
[[nodiscard]] inline QString FillPattern(const std::string& pattern, const QStringList& values)
{
    const QString text = FromUtf8(pattern);
    QString filled;
    qsizetype next = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 1 < text.size() && (text[i + 1] == u's' || text[i + 1] == u'd') &&
            next < values.size()) {
            filled += values[next++];
            ++i;
        } else {
            filled += text[i];
        }
    }
    return filled;
}

} // namespace trawlix::ui
