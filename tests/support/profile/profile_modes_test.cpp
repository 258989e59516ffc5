#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/profile/profile.h"
#include "support/profile/profile_file.h"
#include "testsupport/temp_folder.h"

using testsupport::TempFolder;

namespace {

std::string Read(Profile* profile, const char* topic, const char* key)
{
    std::string value;
    return _read_profile_key(profile, topic, key, value) ? value : "<missing>";
}

TEST(ProfileModes, SpacedKeepsRemarksAndVerbatimNames)
{
    TempFolder folder;
    const auto path = folder.WriteFile("spaced.ini", "[s]\nmy key = old value   # keep this\nplain words\n");
    Profile profile;
    ASSERT_EQ(_open_profile(&profile, path.c_str(), 6), 1);
    EXPECT_EQ(Read(&profile, "s", "my key"), "old value");
    EXPECT_EQ(Read(&profile, "s", "plain words"), ""); // a found line without '='
    // Mode 6 compares names exactly.
    EXPECT_EQ(Read(&profile, "s", "My Key"), "<missing>");
    EXPECT_EQ(Read(&profile, "S", "my key"), "<missing>");
    EXPECT_EQ(_write_profile_key(&profile, "s", "my key", "new"), 1);
    EXPECT_EQ(_write_profile_key(&profile, "s", "other", "v"), 1);
    EXPECT_EQ(_close_profile(&profile), 1);
    EXPECT_EQ(TempFolder::ReadFile(path), "[s]\nmy key = new          # keep this\nplain words\nother = v\n");
}

TEST(ProfileModes, CaseModeTellsTopicsApart)
{
    TempFolder folder;
    const auto path = folder.WriteFile("case.ini", "[Dup]\nk=1\n[dup]\nk=2\n");
    for (const std::int32_t mode : {5, 11}) {
        Profile profile;
        ASSERT_EQ(_open_profile(&profile, path.c_str(), mode), 1);
        if (mode == 5) {
            EXPECT_EQ(Read(&profile, "dup", "k"), "2");
            EXPECT_EQ(Read(&profile, "Dup", "k"), "1");
        } else {
            EXPECT_EQ(Read(&profile, "dup", "k"), "1");
        }
        EXPECT_EQ(_close_profile(&profile), 1);
    }
}

TEST(ProfileModes, OpaqueHidesKeysAlreadyInTheFile)
{
    TempFolder folder;
    const auto path = folder.WriteFile("opaque.ini", "[s]\nk=1\n");
    Profile profile;
    ASSERT_EQ(_open_profile(&profile, path.c_str(), 8), 1);
    EXPECT_EQ(Read(&profile, "s", "k"), "<missing>");
    EXPECT_EQ(_write_profile_key(&profile, "s", "k", "2"), 1);
    EXPECT_EQ(Read(&profile, "s", "k"), "2");
    EXPECT_EQ(_close_profile(&profile), 1);
    EXPECT_EQ(TempFolder::ReadFile(path), "[s]\nk=1\nk=2\n");
}

TEST(ProfileModes, NoPseudoTopicLeavesEarlyLinesUnreachable)
{
    TempFolder folder;
    const auto path = folder.WriteFile("early.ini", "early=1\n[s]\nk=1\n");
    Profile profile;
    ASSERT_EQ(_open_profile(&profile, path.c_str(), 12), 1);
    EXPECT_EQ(Read(&profile, "@$tmp_topic$@", "early"), "<missing>");
    EXPECT_EQ(_write_profile_key(&profile, "s", "k", "2"), 1);
    EXPECT_EQ(_close_profile(&profile), 1);
    EXPECT_EQ(TempFolder::ReadFile(path), "early=1\n[s]\nk=2\n");
}

TEST(ProfileModes, ScrambledLinesRoundTrip)
{
    const std::vector<std::string> lines = {"a\r", "x\n", "", std::string("\x1a\0z", 3), std::string(20, '\r')};
    std::string bytes;
    for (const std::string& line : lines)
        bytes += profile_file::ScrambleLine(line);
    EXPECT_EQ(profile_file::SplitScrambled(bytes), lines);
}

TEST(ProfileModes, ScrambledFile)
{
    TempFolder folder;
    const auto path = (folder.Path() / "secret.bin").string();
    Profile profile;
    ASSERT_EQ(_open_profile(&profile, path.c_str(), 4), 1);
    EXPECT_EQ(profile_file::SplitScrambled(TempFolder::ReadFile(path)), std::vector<std::string>{kProfileHeader});
    // Binary storage: a Ctrl-Z is an ordinary byte here.
    EXPECT_EQ(_write_profile_key(&profile, "vault", "password", "s3cret\x1a!"), 1);
    EXPECT_EQ(_close_profile(&profile), 1);

    const std::string disk = TempFolder::ReadFile(path);
    EXPECT_EQ(disk.find("s3cret"), std::string::npos);
    EXPECT_EQ(disk.find("vault"), std::string::npos);
    const std::vector<std::string> expected = {kProfileHeader, "\n", "[vault]\n", "password=s3cret\x1a!\n"};
    EXPECT_EQ(profile_file::SplitScrambled(disk), expected);

    std::string value;
    EXPECT_EQ(read_profile_key_once(path.c_str(), "VAULT", "Password", value, ProfileOneShot::Scrambled), 1);
    EXPECT_EQ(value, "s3cret\x1a!");
    // Read as text the same file holds nothing readable.
    EXPECT_EQ(read_profile_key_once(path.c_str(), "vault", "password", value), 0);
}

TEST(ProfileModes, TextSplitKeepsBytes)
{
    EXPECT_EQ(profile_file::SplitText("a\r\nb\n\nc"), (std::vector<std::string>{"a\r\n", "b\n", "\n", "c"}));
    EXPECT_EQ(profile_file::SplitText(std::string("a\0b\nc\x1a\nd", 9)),
              (std::vector<std::string>{std::string("a\0b\n", 4), "c"}));
    EXPECT_TRUE(profile_file::SplitText("\x1a[a]\n").empty());
}

} // namespace
