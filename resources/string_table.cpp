#include "resources/string_table.h"

#include "resources/string_table_data.h"

#include <atomic>
#include <cstdlib>
#include <span>
#include <string_view>

namespace trawlix {

namespace {

// -1 until the language is set or first asked for.
std::atomic<int> currentLanguage{-1};

std::span<const strings::StringEntry> TableOf(Language language)
{
    if (language == Language::German)
        return {strings::kGerman, strings::kGermanCount};
    return {strings::kEnglish, strings::kEnglishCount};
}

} // namespace

Language LanguageFromEnvironment()
{
    // The first variable that is set and not empty decides, as for message catalogues.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return std::string_view(value).starts_with("de") ? Language::German : Language::English;
    }
    return Language::English;
}

void SetLanguage(Language language)
{
    currentLanguage.store(static_cast<int>(language), std::memory_order_release);
}

Language CurrentLanguage()
{
    int value = currentLanguage.load(std::memory_order_acquire);
    if (value < 0) {
        // Threads that ask at the same time all see the first answer stored.
        const int chosen = static_cast<int>(LanguageFromEnvironment());
        if (currentLanguage.compare_exchange_strong(value, chosen, std::memory_order_acq_rel))
            value = chosen;
    }
    return static_cast<Language>(value);
}

std::string LoadString(int id)
{
    return LoadString(id, CurrentLanguage());
}

std::string LoadString(int id, Language language)
{
    for (const auto& entry : TableOf(language)) {
        if (entry.id == id)
            return entry.text;
    }
    return {};
}

} // namespace trawlix
