#pragma once

#include "resources/text_id.h"

#include <string>

// User-visible texts by id (from 101), English and German with the same ids, compiled into the
// core. Texts are UTF-8. The code names them by TextId, generated from the language files.
namespace trawlix {

enum class Language { English, German };

// German when LC_ALL, else LC_MESSAGES, else LANG starts with "de"; English otherwise.
[[nodiscard]] Language LanguageFromEnvironment();

// The process-wide language, chosen once at start (from the environment unless set).
void SetLanguage(Language language);
[[nodiscard]] Language CurrentLanguage();

// The text of `id` in the current (or given) language; empty for an unknown id.
[[nodiscard]] std::string LoadString(int id);
[[nodiscard]] std::string LoadString(int id, Language language);
[[nodiscard]] inline std::string LoadString(TextId id)
{
    return LoadString(static_cast<int>(id));
}
[[nodiscard]] inline std::string LoadString(TextId id, Language language)
{
    return LoadString(static_cast<int>(id), language);
}

} // namespace trawlix
