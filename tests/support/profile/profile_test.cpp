#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/profile/profile.h"
#include "testsupport/temp_folder.h"

using testsupport::TempFolder;

namespace {

const std::string kHeader = kProfileHeader;

// Closes at scope end, so that a failed assertion leaves no profile open.
struct ScopedProfile
{
    Profile profile;
    ~ScopedProfile() { _close_profile(&profile); }
    Profile* get() { return &profile; }
};

std::string Read(Profile* profile, const char* topic, const char* key)
{
    std::string value;
    return _read_profile_key(profile, topic, key, value) ? value : "<missing>";
}

struct Edit
{
    const char* topic;
    const char* key;
    const char* value;
};

// Applies `edits` in mode 2 to a file holding `content` and returns the file afterwards.
std::string EditFile(const TempFolder& folder, const std::string& content, std::initializer_list<Edit> edits)
{
    const auto path = folder.WriteFile("edit.ini", content);
    Profile profile;
    EXPECT_EQ(_open_profile(&profile, path.c_str(), 2), 1);
    for (const Edit& e : edits)
        EXPECT_EQ(_write_profile_key(&profile, e.topic, e.key, e.value), 1) << e.topic << "/" << e.key;
    EXPECT_EQ(_close_profile(&profile), 1);
    return TempFolder::ReadFile(path);
}

// Replaces the file behind an open profile with a marker and closes the profile: the marker is
// still there exactly when the close did not write the file.
bool CloseLeavesFileAlone(Profile* profile, const std::filesystem::path& path)
{
    const std::string marker = "; changed behind the profile's back\n";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << marker;
    }
    const int closed = _close_profile(profile);
    return closed == 1 && TempFolder::ReadFile(path) == marker;
}

// Comments, blank lines, lines without '=', a tab-led line, odd spacing, a duplicate topic in
// other case, keys before the first topic, a line longer than 8191 bytes and no final line end.
// The long line's first 8191 bytes end right before "evil=1", where a reader that cut long lines
// into pieces would find a key.
std::string MessyFile(const std::string& eol)
{
    const std::string longLine = "comment=" + std::string(8183, 'x') + "evil=1";
    return "early=1" + eol + "text without equals" + eol + "; a comment" + eol + "# another comment" + eol + eol +
           "  [ Settings ]   ; the settings" + eol + "AutoScan  =   1   ; remark" + eol + "\tscan10=1" + eol +
           "subnets=192.168.1.*;10.0.0.*" + eol + "   weird   =   value with  blanks   " + eol + longLine + eol +
           "junk line" + eol + eol + "[SETTINGS]" + eol + "autoscan=5" + eol + "[other]" + eol + "last=1";
}

TEST(Profile, NewFileGetsHeaderThenTopicAndKeys)
{
    TempFolder folder;
    const auto path = folder.Path() / "trawlix.ini";
    Profile profile;
    EXPECT_EQ(_open_profile(&profile, path.c_str(), 1), 0);
    EXPECT_FALSE(std::filesystem::exists(path));

    ASSERT_EQ(_open_profile(&profile, path.c_str(), 2), 1);
    EXPECT_EQ(TempFolder::ReadFile(path), kHeader);
    EXPECT_EQ(_write_profile_key(&profile, "settings", "subnets", "a;b"), 1);
    EXPECT_EQ(_write_profile_key(&profile, "settings", "autoscan", "1"), 1);
    EXPECT_EQ(_close_profile(&profile), 1);
    EXPECT_FALSE(profile.open);
    EXPECT_EQ(TempFolder::ReadFile(path), kHeader + "\n[settings]\nsubnets=a;b\nautoscan=1\n");

    // A later new topic is set off from the one before by an empty line.
    EXPECT_EQ(EditFile(folder, TempFolder::ReadFile(path), {{"more", "k", "v"}}),
              kHeader + "\n[settings]\nsubnets=a;b\nautoscan=1\n\n[more]\nk=v\n");
}

TEST(Profile, MessyFileRoundTripsExceptTheChangedLine)
{
    for (const std::string eol : {"\n", "\r\n"}) {
        SCOPED_TRACE(eol.size() == 2 ? "CR LF" : "LF");
        TempFolder folder;
        const std::string original = MessyFile(eol);
        std::string expected = original;
        const std::string oldLine = "AutoScan  =   1   ; remark" + eol;
        expected.replace(expected.find(oldLine), oldLine.size(), "autoscan=0" + eol);
        EXPECT_EQ(EditFile(folder, original, {{"settings", "autoscan", "0"}}), expected);
    }
}

TEST(Profile, MessyFileReads)
{
    for (const std::string eol : {"\n", "\r\n"}) {
        SCOPED_TRACE(eol.size() == 2 ? "CR LF" : "LF");
        TempFolder folder;
        const auto path = folder.WriteFile("messy.ini", MessyFile(eol));
        ScopedProfile p;
        ASSERT_EQ(_open_profile(p.get(), path.c_str(), 1), 1);
        EXPECT_EQ(Read(p.get(), "SETTINGS", "AUTOSCAN"), "1   ; remark");
        EXPECT_EQ(Read(p.get(), "settings", "subnets"), "192.168.1.*;10.0.0.*");
        EXPECT_EQ(Read(p.get(), "settings", "weird"), "value with  blanks");
        EXPECT_EQ(Read(p.get(), "@$tmp_topic$@", "early"), "1");
        EXPECT_EQ(Read(p.get(), "other", "last"), "1");
        // Neither the tab-led line, plain text, comments nor the long line's tail are keys.
        EXPECT_EQ(Read(p.get(), "settings", "scan10"), "<missing>");
        EXPECT_EQ(Read(p.get(), "settings", "junk"), "<missing>");
        EXPECT_EQ(Read(p.get(), "settings", "evil"), "<missing>");
        EXPECT_EQ(Read(p.get(), "settings", ";"), "<missing>");
        std::string raw;
        ASSERT_EQ(_read_profile_key_raw(p.get(), "settings", "weird", raw), 1);
        EXPECT_EQ(raw, "   value with  blanks   ");
        ASSERT_EQ(_read_profile_key_raw(p.get(), "settings", "comment", raw), 1);
        EXPECT_EQ(raw, std::string(8183, 'x') + "evil=1");
    }
}

TEST(Profile, UnchangedProfileIsNotRewritten)
{
    struct Case
    {
        const char* name;
        std::int32_t mode;
        Edit edit; // topic nullptr: no write
        int result;
    };
    const Case cases[] = {
        {"no write", 2, {nullptr, nullptr, nullptr}, 0},
        {"same value, same spelling", 2, {"settings", "autoscan", "1"}, 1},
        {"empty value for a missing key", 2, {"settings", "nokey", ""}, 0},
        {"empty key, value given", 2, {"settings", "", "1"}, 0},
        {"missing topic, empty value", 2, {"nosuch", "k", ""}, 0},
        {"read-only mode", 1, {"settings", "autoscan", "0"}, 0},
        {"line break in value", 2, {"settings", "autoscan", "0\nscan10=1"}, 0},
        {"line break in topic", 2, {"new]\n[x", "k", "v"}, 0},
        {"carriage return in key", 2, {"settings", "auto\rscan", "0"}, 0},
        {"Ctrl-Z in value", 2, {"settings", "autoscan", "0\x1a"}, 0},
        {"pseudo topic without early lines", 2, {"@$tmp_topic$@", "k", "v"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const auto path = folder.WriteFile("s.ini", "; mine\n[settings]\nautoscan=1\n");
        Profile profile;
        ASSERT_EQ(_open_profile(&profile, path.c_str(), c.mode), 1);
        if (c.edit.topic != nullptr) {
            EXPECT_EQ(_write_profile_key(&profile, c.edit.topic, c.edit.key, c.edit.value), c.result);
        }
        EXPECT_FALSE(profile.modified);
        EXPECT_TRUE(CloseLeavesFileAlone(&profile, path));
    }
}

TEST(Profile, NamesIgnoreCaseInTheApplicationModes)
{
    TempFolder folder;
    const auto path = folder.Path() / "t.ini";
    ScopedProfile p;
    ASSERT_EQ(_open_profile(p.get(), path.c_str(), 2), 1);
    ASSERT_EQ(_write_profile_key(p.get(), "settings", "subnets", "a;b"), 1);
    EXPECT_EQ(Read(p.get(), "SETTINGS", "SUBNETS"), "a;b");
    ASSERT_EQ(_write_profile_key(p.get(), "Settings", "SubNets", "c"), 1);
    EXPECT_EQ(Read(p.get(), "settings", "subnets"), "c");
    EXPECT_EQ(_close_profile(p.get()), 1);
    EXPECT_EQ(TempFolder::ReadFile(path), kHeader + "\n[settings]\nSubNets=c\n");
}

TEST(Profile, ValuesAreTrimmedOrRaw)
{
    struct Case
    {
        const char* line;
        const char* trimmed;
        const char* raw;
    };
    const Case cases[] = {
        {"key =\t 1  \n", "1", "\t 1  "},
        {"key=a\tb\t\n", "ab", "a\tb\t"},
        {"key= a = b \r\n", "a = b", " a = b "},
        {"key=\n", "", ""},
        {"key=v # not a remark here\n", "v # not a remark here", "v # not a remark here"},
        {"key=last line without end", "last line without end", "last line without end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        TempFolder folder;
        const auto path = folder.WriteFile("v.ini", std::string("[t]\n") + c.line);
        ScopedProfile p;
        ASSERT_EQ(_open_profile(p.get(), path.c_str(), 1), 1);
        std::string value = "untouched";
        ASSERT_EQ(_read_profile_key(p.get(), "t", "key", value), 1);
        EXPECT_EQ(value, c.trimmed);
        ASSERT_EQ(_read_profile_key_raw(p.get(), "t", "key", value), 1);
        EXPECT_EQ(value, c.raw);
        value = "untouched";
        EXPECT_EQ(_read_profile_key(p.get(), "t", "other", value), 0);
        EXPECT_EQ(_read_profile_key(p.get(), "nosuch", "key", value), 0);
        EXPECT_EQ(value, "untouched");
    }
}

TEST(Profile, EditsTable)
{
    struct Case
    {
        const char* name;
        std::string before;
        std::vector<Edit> edits;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"replace uses the caller's spelling and loses a ';' remark",
         "[settings]\nAutoScan = 1 ; remark\n",
         {{"settings", "autoscan", "0"}},
         "[settings]\nautoscan=0\n"},
        {"early lines keep no pseudo topic",
         "early=1\nfree text\n[settings]\nk=1\n",
         {{"@$tmp_topic$@", "early", "2"}, {"@$tmp_topic$@", "late", "3"}},
         "early=2\nfree text\nlate=3\n[settings]\nk=1\n"},
        {"new key goes before the blank line ahead of the next topic",
         "[a]\nx=1\n; note\n\n[b]\ny=1\n",
         {{"a", "new", "2"}},
         "[a]\nx=1\n; note\nnew=2\n\n[b]\ny=1\n"},
        {"new key of the last topic goes to the end",
         "[a]\nx=1\n\n[b]\ny=1\n",
         {{"b", "new", "3"}},
         "[a]\nx=1\n\n[b]\ny=1\nnew=3\n"},
        {"new key of a topic directly followed by another",
         "[a]\n[b]\ny=1\n",
         {{"a", "new", "1"}},
         "[a]\nnew=1\n[b]\ny=1\n"},
        {"empty value deletes the key", "[a]\nx=1\ny=2\n", {{"a", "x", ""}}, "[a]\ny=2\n"},
        {"empty key and value delete the topic up to the next one",
         "; head\n\n[a]\nx=1\n; c\n\n[b]\ny=1\n",
         {{"A", "", ""}},
         "; head\n\n[b]\ny=1\n"},
        {"inserted key after a last line without line end", "[a]\nx=1", {{"a", "y", "2"}}, "[a]\nx=1\ny=2\n"},
        {"new topic after a last line without line end", "[a]\nx=1", {{"b", "z", "1"}}, "[a]\nx=1\n[b]\nz=1\n"},
        {"CR LF file: new lines get CR LF",
         "[a]\r\nx=1",
         {{"a", "y", "2"}, {"b", "z", "3"}},
         "[a]\r\nx=1\r\ny=2\r\n\r\n[b]\r\nz=3\r\n"},
        {"CR LF file: last line ending in a bare CR", "[a]\r\nx=1\r", {{"a", "y", "2"}}, "[a]\r\nx=1\r\ny=2\r\n"},
        {"pseudo names spelled in the file are ordinary text",
         "[@$tmp_topic$@]\nk=1\n@$tmp_key$@00000=x\nfree\n",
         {{"@$tmp_topic$@", "k", "2"}},
         "[@$tmp_topic$@]\nk=2\n@$tmp_key$@00000=x\nfree\n"},
        {"a remark behind a topic does not hide it from a later duplicate",
         "[s] ; first\nk=1\n[S]\nk=2\n",
         {{"s", "k", "3"}},
         "[s] ; first\nk=3\n[S]\nk=2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const auto path = folder.WriteFile("e.ini", c.before);
        Profile profile;
        ASSERT_EQ(_open_profile(&profile, path.c_str(), 2), 1);
        for (const Edit& e : c.edits)
            EXPECT_EQ(_write_profile_key(&profile, e.topic, e.key, e.value), 1) << e.key;
        EXPECT_EQ(_close_profile(&profile), 1);
        EXPECT_EQ(TempFolder::ReadFile(path), c.after);
    }
}

TEST(Profile, DuplicateTopicsFindTheFirstUntilItIsDeleted)
{
    TempFolder folder;
    const auto path = folder.WriteFile("d.ini", "[Dup]\nk=1\n[DUP]\nk=2\n");
    ScopedProfile p;
    ASSERT_EQ(_open_profile(p.get(), path.c_str(), 2), 1);
    EXPECT_EQ(Read(p.get(), "dup", "k"), "1");
    ASSERT_EQ(_write_profile_key(p.get(), "dup", "", ""), 1);
    EXPECT_EQ(Read(p.get(), "dup", "k"), "2");
    ASSERT_EQ(_write_profile_key(p.get(), "dup", "", ""), 1);
    EXPECT_EQ(Read(p.get(), "dup", "k"), "<missing>");
    EXPECT_EQ(_close_profile(p.get()), 1);
    EXPECT_EQ(TempFolder::ReadFile(path), "");
}

TEST(Profile, KeyLineLimit)
{
    for (const std::string eol : {"\n", "\r\n"}) {
        SCOPED_TRACE(eol.size() == 2 ? "CR LF" : "LF");
        TempFolder folder;
        const std::string original = "[t]" + eol + "k=1" + eol;
        const auto path = folder.WriteFile("l.ini", original);
        Profile profile;
        ASSERT_EQ(_open_profile(&profile, path.c_str(), 2), 1);
        // "k=" + value + LF: 8191 characters fit, 8192 do not.
        const std::string fits(8191 - 3, 'v');
        const std::string tooLong(8192 - 3, 'v');
        EXPECT_EQ(_write_profile_key(&profile, "t", "k", tooLong.c_str()), 0);
        EXPECT_EQ(_write_profile_key(&profile, "t", "new", (tooLong + "xx").c_str()), 0);
        EXPECT_EQ(_write_profile_key(&profile, std::string(8189, 'T').c_str(), "k", "v"), 0);
        EXPECT_EQ(Read(&profile, "t", "k"), "1");
        EXPECT_FALSE(profile.modified);
        EXPECT_EQ(_write_profile_key(&profile, "t", "k", fits.c_str()), 1);
        EXPECT_EQ(Read(&profile, "t", "k"), fits);
        EXPECT_EQ(_close_profile(&profile), 1);
        EXPECT_EQ(TempFolder::ReadFile(path), "[t]" + eol + "k=" + fits + eol);
    }
}

TEST(Profile, CtrlZEndsTheReadablePart)
{
    TempFolder folder;
    const auto path = folder.WriteFile("z.ini", "[a]\nx=1\n\x1a[a]\ny=2\n");
    Profile profile;
    ASSERT_EQ(_open_profile(&profile, path.c_str(), 2), 1);
    EXPECT_EQ(Read(&profile, "a", "x"), "1");
    EXPECT_EQ(Read(&profile, "a", "y"), "<missing>");
    EXPECT_TRUE(CloseLeavesFileAlone(&profile, path));
}

TEST(Profile, OpenRules)
{
    TempFolder folder;
    const auto path = folder.WriteFile("o.ini", "[a]\nx=1\n");
    Profile profile;
    EXPECT_EQ(_open_profile(&profile, path.c_str(), 0), 0);
    EXPECT_EQ(_open_profile(&profile, path.c_str(), 15), 0);
    EXPECT_EQ(_open_profile(&profile, nullptr, 1), 0);
    EXPECT_EQ(_close_profile(&profile), 0);

    // 255 characters are allowed, 256 are not, even where the file could be created.
    std::string dir = folder.Path().string();
    while (dir.size() < 255 - 20)
        dir += "/" + std::string(std::min<std::size_t>(50, 255 - 20 - dir.size()), 'd');
    std::filesystem::create_directories(dir);
    const std::string at255 = dir + "/" + std::string(255 - dir.size() - 1, 'f');
    const std::string at256 = at255 + "g";
    ASSERT_EQ(at255.size(), 255u);
    EXPECT_EQ(_open_profile(&profile, at256.c_str(), 2), 0);
    EXPECT_FALSE(std::filesystem::exists(at256));
    EXPECT_EQ(_open_profile(&profile, at255.c_str(), 2), 1);
    EXPECT_EQ(_close_profile(&profile), 1);
}

TEST(Profile, SecondOpenOnlyForTheSamePath)
{
    TempFolder folder;
    const auto first = folder.WriteFile("first.ini", "[a]\nx=1\n");
    const auto second = folder.WriteFile("second.ini", "[a]\nx=2\n");
    // Another file that differs from the open one only in letter case.
    const auto upper = folder.WriteFile("FIRST.ini", "[a]\nx=upper\n");

    ASSERT_EQ(open_profile(first.c_str(), 1), 1);
    EXPECT_EQ(open_profile(second.c_str(), 2), 0);
    EXPECT_EQ(open_profile(upper.c_str(), 1), 0);
    folder.WriteFile("first.ini", "[a]\nx=changed\n");
    EXPECT_EQ(open_profile(first.c_str(), 2), 1);
    std::string value;
    EXPECT_EQ(read_profile_key("a", "x", value), 1);
    EXPECT_EQ(value, "1"); // not read again
    // Still in mode 1: writes are refused.
    EXPECT_EQ(write_profile_key("a", "x", "3"), 0);
    EXPECT_EQ(read_profile_key_raw("a", "x", value), 1);
    EXPECT_EQ(close_profile(), 1);
    EXPECT_EQ(close_profile(), 0);
    EXPECT_EQ(TempFolder::ReadFile(first), "[a]\nx=changed\n");
}

TEST(Profile, FailedWriteBackStillCloses)
{
    TempFolder folder;
    const auto path = folder.WriteFile("w.ini", "[a]\nx=1\n");
    Profile profile;
    ASSERT_EQ(_open_profile(&profile, path.c_str(), 2), 1);
    ASSERT_EQ(_write_profile_key(&profile, "a", "x", "2"), 1);
    std::filesystem::remove(path);
    std::filesystem::create_directory(path); // cannot be opened for writing
    EXPECT_EQ(_close_profile(&profile), 0);
    EXPECT_FALSE(profile.open);
    EXPECT_TRUE(profile.lines.empty());
    EXPECT_EQ(profile.index.Size(), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(Profile, WritableOpenFailsWhereNoFileCanBeMade)
{
    TempFolder folder;
    const auto path = folder.Path() / "missing-folder" / "x.ini";
    Profile profile;
    EXPECT_EQ(_open_profile(&profile, path.c_str(), 2), 0);
    EXPECT_FALSE(profile.open);
    // A folder in the file's place is neither read nor replaced.
    EXPECT_EQ(_open_profile(&profile, folder.Path().c_str(), 2), 0);
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path()));
}

TEST(Profile, OneShotForms)
{
    TempFolder folder;
    const auto path = (folder.Path() / "once.ini").string();
    EXPECT_EQ(write_profile_key_once(path.c_str(), "t", "k", "v"), 1);
    EXPECT_EQ(TempFolder::ReadFile(path), kHeader + "\n[t]\nk=v\n");
    std::string value;
    EXPECT_EQ(read_profile_key_once(path.c_str(), "T", "K", value), 1);
    EXPECT_EQ(value, "v");
    EXPECT_EQ(read_profile_key_once((path + ".missing").c_str(), "t", "k", value), 0);
    EXPECT_FALSE(std::filesystem::exists(path + ".missing"));
    EXPECT_EQ(write_profile_key_once(path.c_str(), "t", "nosuch", ""), 0);
}

TEST(Profile, DumpCountsEveryLine)
{
    TempFolder folder;
    const auto path = folder.WriteFile("dump.ini", "early\n[a]\nx=1\n");
    ScopedProfile p;
    EXPECT_EQ(_dump_profile(p.get()), 0);
    ASSERT_EQ(_open_profile(p.get(), path.c_str(), 1), 1);
    EXPECT_EQ(_dump_profile(p.get()), 4); // the pseudo topic line included
}

} // namespace
