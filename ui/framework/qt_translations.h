#pragma once

#include "resources/string_table.h"

#include <QString>

#include <memory>

class QTranslator;

namespace trawlix::ui {

// Where Qt keeps its own message catalogues (Debian: /usr/share/qt6/translations).
[[nodiscard]] QString QtTranslationsFolder();

// Installs Qt's own texts (the buttons and labels of the standard dialogs, "Yes" and "No" of the
// message boxes) in `language` on the running application, from qtbase's catalogue in `folder`,
// so that no English Qt text stands beside the program's German ones. The translator stays
// installed while the returned object lives. None for English, Qt's own language, and when the
// catalogue is not installed (the texts stay English then).
[[nodiscard]] std::unique_ptr<QTranslator> InstallQtTranslations(Language language,
                                                                 const QString& folder = QtTranslationsFolder());

} // namespace trawlix::ui
