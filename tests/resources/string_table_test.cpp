#include "resources/string_table.h"
#include "resources/string_table_data.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using trawlix::Language;
using trawlix::LoadString;

std::set<int> IdsOf(const trawlix::strings::StringEntry* table, std::size_t count)
{
    std::set<int> ids;
    for (std::size_t i = 0; i < count; ++i)
        ids.insert(table[i].id);
    return ids;
}

// The printf conversions of a text in order ("%s", "%d"), "%%" left out.
std::vector<char> Conversions(const std::string& text)
{
    std::vector<char> result;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        if (text[i + 1] != '%')
            result.push_back(text[i + 1]);
        ++i;
    }
    return result;
}

// The window's texts 101 to 151 and the comparison report's 170 to 177.
std::set<int> ExpectedIds()
{
    std::set<int> expected;
    for (int id = 101; id <= 151; ++id)
        expected.insert(id);
    for (int id = 170; id <= 177; ++id)
        expected.insert(id);
    return expected;
}

TEST(StringTableTest, BothLanguagesHoldExactlyTheExpectedIds)
{
    const std::set<int> expected = ExpectedIds();
    EXPECT_EQ(IdsOf(trawlix::strings::kEnglish, trawlix::strings::kEnglishCount), expected);
    EXPECT_EQ(IdsOf(trawlix::strings::kGerman, trawlix::strings::kGermanCount), expected);
    EXPECT_EQ(trawlix::strings::kEnglishCount, expected.size());
    EXPECT_EQ(trawlix::strings::kGermanCount, expected.size());
    for (int id : expected) {
        EXPECT_FALSE(LoadString(id, Language::English).empty()) << id;
        EXPECT_FALSE(LoadString(id, Language::German).empty()) << id;
    }
}

TEST(StringTableTest, TranslationsKeepThePrintfConversions)
{
    // A caller formats a text with one argument list for both languages.
    for (int id : ExpectedIds())
        EXPECT_EQ(Conversions(LoadString(id, Language::English)), Conversions(LoadString(id, Language::German))) << id;
}

TEST(StringTableTest, ExactTexts)
{
    struct Case
    {
        int id;
        Language language;
        const char* text;
    };
    const Case cases[] = {
        {101, Language::German, "&Über Trawlix..."},
        {110, Language::English,
         "After downloading unzip the file \"update%s.zip\" and restart SETUP.EXE in the directory where you have "
         "unpacked it."},
        {111, Language::English,
         "Warning!\n\nAre you sure that you want to replace the newer firmware version %s on the device with the "
         "older firmware version %s?"},
        {112, Language::English, "Update firmware"},
        {112, Language::German, "Update Firmware"},
        {123, Language::English, "Up to date"},
        {123, Language::German, "Nicht nötig"},
        {125, Language::German, "Scanne 10.10.10.10"},
        {126, Language::English, " and "},
        {126, Language::German, " und "},
        {127, Language::German, "Netzwerk von %s%d bis %s%d"},
        {129, Language::English, "  -  scanning "},
        {131, Language::German, "%d.%d.%d.*"},
        {133, Language::English, "Invalid IP range"},
        {133, Language::German, "Ungültiger IP-Bereich."},
        {134, Language::English, "Access denied!"},
        {134, Language::German, "Zugriff verweigert!"},
        {136, Language::German, "%d ist kein gültiger Eintrag. Bitte geben Sie einen Wert zwischen %d und %d an."},
        {143, Language::English, "The list could not be written to \"%s\":\n%s"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadString(c.id, c.language), c.text) << c.id;
}

TEST(StringTableTest, UnknownIdsGiveEmptyTexts)
{
    for (int id : {0, -1, 100, 152, 1004})
        EXPECT_EQ(LoadString(id, Language::German), "") << id;
}

// Sets or clears the locale variables for one test and puts the old values back.
class LocaleEnvironment final
{
public:
    LocaleEnvironment()
    {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.push_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    ~LocaleEnvironment()
    {
        for (std::size_t i = 0; i < std::size(kNames); ++i)
            Set(kNames[i], saved_[i] ? saved_[i]->c_str() : nullptr);
    }
    LocaleEnvironment(const LocaleEnvironment&) = delete;
    LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

    static void Set(const char* name, const char* value)
    {
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }

    static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};

private:
    std::vector<std::optional<std::string>> saved_;
};

TEST(StringTableTest, LanguageFollowsTheFirstSetLocaleVariable)
{
    struct Case
    {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        Language expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, Language::English},
        {nullptr, nullptr, "de_DE.UTF-8", Language::German},
        {nullptr, nullptr, "de", Language::German},
        {nullptr, nullptr, "en_US.UTF-8", Language::English},
        {nullptr, nullptr, "C", Language::English},
        {nullptr, "de_AT.UTF-8", "en_US.UTF-8", Language::German},
        {nullptr, "en_GB.UTF-8", "de_DE.UTF-8", Language::English},
        {"de_CH.UTF-8", "en_GB.UTF-8", "en_US.UTF-8", Language::German},
        {"C.UTF-8", "de_DE.UTF-8", "de_DE.UTF-8", Language::English},
        {"", "", "de_DE", Language::German},
        {"", "en_US", "de_DE", Language::English},
        {nullptr, nullptr, "", Language::English},
        {nullptr, nullptr, "DE_de", Language::English},
        {nullptr, nullptr, "fr_FR", Language::English},
    };
    LocaleEnvironment restore;
    for (const auto& c : cases) {
        LocaleEnvironment::Set("LC_ALL", c.lcAll);
        LocaleEnvironment::Set("LC_MESSAGES", c.lcMessages);
        LocaleEnvironment::Set("LANG", c.lang);
        EXPECT_EQ(trawlix::LanguageFromEnvironment(), c.expected)
            << (c.lcAll ? c.lcAll : "-") << " / " << (c.lcMessages ? c.lcMessages : "-") << " / "
            << (c.lang ? c.lang : "-");
    }
}

TEST(StringTableTest, CurrentLanguageSelectsTheTable)
{
    trawlix::SetLanguage(Language::German);
    EXPECT_EQ(trawlix::CurrentLanguage(), Language::German);
    EXPECT_EQ(LoadString(113), "Gerät");
    trawlix::SetLanguage(Language::English);
    EXPECT_EQ(trawlix::CurrentLanguage(), Language::English);
    EXPECT_EQ(LoadString(113), "Device");
}

} // namespace
