#include "support/text/version_info.h"

#include "support/text/paths.h"
#include "support/text/system.h"
#include "testsupport/temp_folder.h"
#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

using versioninfo::ExtractVersionBlock;
using versioninfo::QueryString;
using versioninfo::QueryValue;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Fixture(const char* name)
{
    return std::string(testpaths::kSourceDir) + "/tests/support/text/fixtures/" + name;
}

Bytes ReadBytes(const std::string& path)
{
    const std::string text = testsupport::TempFolder::ReadFile(path);
    return Bytes(text.begin(), text.end());
}

std::string AsString(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

void Put16(Bytes& bytes, std::size_t at, std::uint16_t value)
{
    bytes.at(at) = static_cast<std::uint8_t>(value);
    bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
    Put16(bytes, at, static_cast<std::uint16_t>(value));
    Put16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::uint32_t Get32(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes.at(at) | bytes.at(at + 1) << 8 | bytes.at(at + 2) << 16 |
                                      static_cast<std::uint32_t>(bytes.at(at + 3)) << 24);
}

// --- Building version blocks by hand, the way resource compilers lay them out --------------------

struct TestNode
{
    std::string key; // ASCII
    Bytes value;
    std::uint16_t valueLength = 0;
    std::uint16_t type = 1;
    std::vector<TestNode> children;
};

void Align(Bytes& bytes)
{
    while (bytes.size() % 4 != 0)
        bytes.push_back(0);
}

// The node's bytes; it starts at a 32-bit boundary of its block.
Bytes Encode(const TestNode& node)
{
    Bytes bytes(6, 0);
    for (char c : node.key) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(0);
    }
    bytes.push_back(0);
    bytes.push_back(0);
    Align(bytes);
    bytes.insert(bytes.end(), node.value.begin(), node.value.end());
    for (const TestNode& child : node.children) {
        Align(bytes);
        const Bytes encoded = Encode(child);
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    }
    Put16(bytes, 0, static_cast<std::uint16_t>(bytes.size()));
    Put16(bytes, 2, node.valueLength);
    Put16(bytes, 4, node.type);
    return bytes;
}

Bytes Utf16(const std::u16string& text)
{
    Bytes bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

TestNode StringNode(const std::string& name, const std::u16string& text)
{
    return TestNode{name, Utf16(text), static_cast<std::uint16_t>(text.size() + 1), 1, {}};
}

Bytes TranslationValue(std::vector<std::pair<std::uint16_t, std::uint16_t>> entries)
{
    Bytes bytes(entries.size() * 4);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Put16(bytes, i * 4, entries[i].first);
        Put16(bytes, i * 4 + 2, entries[i].second);
    }
    return bytes;
}

Bytes FixedInfoValue()
{
    Bytes bytes(52, 0);
    Put32(bytes, 0, 0xFEEF04BDu);
    Put32(bytes, 4, 0x00010000u);
    Put32(bytes, 8, 0x00030001u);
    Put32(bytes, 12, 0x00020009u);
    return bytes;
}

// A block with one string table and, when `translations` is not empty, a translation table.
Bytes MakeBlock(const std::string& table, std::vector<TestNode> strings,
                std::vector<std::pair<std::uint16_t, std::uint16_t>> translations = {{0x0409, 0x04B0}})
{
    TestNode root{"VS_VERSION_INFO", FixedInfoValue(), 52, 0, {}};
    root.children.push_back(TestNode{"StringFileInfo", {}, 0, 1, {TestNode{table, {}, 0, 1, std::move(strings)}}});
    if (!translations.empty()) {
        const Bytes value = TranslationValue(translations);
        root.children.push_back(
            TestNode{"VarFileInfo",
                     {},
                     0,
                     1,
                     {TestNode{"Translation", value, static_cast<std::uint16_t>(value.size()), 0, {}}}});
    }
    return Encode(root);
}

// --- A minimal ELF file around a section ---------------------------------------------------------

void PutN(Bytes& bytes, std::size_t at, std::uint64_t value, std::size_t width, bool big)
{
    for (std::size_t i = 0; i < width; ++i)
        bytes.at(at + (big ? width - 1 - i : i)) = static_cast<std::uint8_t>(value >> (8 * i));
}

// Sections: 0 null, 1 ".shstrtab", 2 `name` holding `content`.
Bytes MakeElf(bool wide, bool big, const std::string& name, const Bytes& content)
{
    const std::size_t headerSize = wide ? 64 : 52;
    const std::size_t entrySize = wide ? 64 : 40;
    std::string names = std::string(1, '\0') + ".shstrtab" + '\0' + name + '\0';
    Bytes file(headerSize, 0);
    file[0] = 0x7F;
    file[1] = 'E';
    file[2] = 'L';
    file[3] = 'F';
    file[4] = wide ? 2 : 1;
    file[5] = big ? 2 : 1;
    file[6] = 1;
    const std::size_t namesOffset = file.size();
    file.insert(file.end(), names.begin(), names.end());
    while (file.size() % 8 != 0)
        file.push_back(0);
    const std::size_t contentOffset = file.size();
    file.insert(file.end(), content.begin(), content.end());
    while (file.size() % 8 != 0)
        file.push_back(0);
    const std::size_t tableOffset = file.size();
    file.resize(file.size() + 3 * entrySize, 0);

    PutN(file, 16, 2, 2, big); // ET_EXEC
    if (wide) {
        PutN(file, 0x28, tableOffset, 8, big);
        PutN(file, 0x3A, entrySize, 2, big);
        PutN(file, 0x3C, 3, 2, big);
        PutN(file, 0x3E, 1, 2, big);
    } else {
        PutN(file, 0x20, tableOffset, 4, big);
        PutN(file, 0x2E, entrySize, 2, big);
        PutN(file, 0x30, 3, 2, big);
        PutN(file, 0x32, 1, 2, big);
    }
    auto section = [&](std::size_t index, std::uint32_t nameOffset, std::uint32_t type, std::uint64_t offset,
                       std::uint64_t size) {
        const std::size_t at = tableOffset + index * entrySize;
        PutN(file, at, nameOffset, 4, big);
        PutN(file, at + 4, type, 4, big);
        if (wide) {
            PutN(file, at + 24, offset, 8, big);
            PutN(file, at + 32, size, 8, big);
        } else {
            PutN(file, at + 16, offset, 4, big);
            PutN(file, at + 20, size, 4, big);
        }
    };
    section(1, 1, 3, namesOffset, names.size());                                  // SHT_STRTAB
    section(2, 11, 1, contentOffset, static_cast<std::uint64_t>(content.size())); // SHT_PROGBITS
    return file;
}

// --- The program's own file and the embedded blocks ---------------------------------------------

TEST(VersionInfoTest, EmptyObjectAnswersWithTheProgramsOwnVersionData)
{
    CJVersionInfo info;
    EXPECT_FALSE(info.IsLoaded());
    EXPECT_EQ(info.Translation(), 0u);
    EXPECT_EQ(info.FileDescription(), "Trawlix");
    EXPECT_TRUE(info.IsLoaded());
    EXPECT_EQ(info.FileVersion(), "2.0.0.6");
    EXPECT_EQ(info.LegalCopyright(), "Copyright (C) Orvanta GmbH");
    EXPECT_EQ(info.OriginalFilename(), "version_info_test");
    EXPECT_EQ(info.GetString("ProductName"), "Trawlix");
    EXPECT_EQ(info.GetString("CompanyName"), "Orvanta GmbH");
    EXPECT_EQ(info.Translation(), 0x040904B0u);
    // The About box's description line.
    EXPECT_EQ(info.FileDescription() + " - " + info.FileVersion(), "Trawlix - 2.0.0.6");

    const auto fixed = info.FixedInfo();
    ASSERT_TRUE(fixed.has_value());
    EXPECT_EQ(fixed->fileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->fileVersionLS, 0x00000006u);
    EXPECT_EQ(fixed->productVersionLS, 0x00000006u);
}

TEST(VersionInfoTest, LoadModuleWithoutAFileReadsTheOwnExecutable)
{
    CJVersionInfo info;
    ASSERT_TRUE(info.LoadModule());
    EXPECT_EQ(info.OriginalFilename(), "version_info_test");
    CJVersionInfo constructed(nullptr);
    EXPECT_TRUE(constructed.IsLoaded());
    EXPECT_EQ(constructed.FileVersion(), "2.0.0.6");
}

TEST(VersionInfoTest, EmbeddedBlockOfAnotherProgramWithItsOwnValues)
{
    CJVersionInfo info(TRAWLIX_EMBED_PROBE);
    ASSERT_TRUE(info.IsLoaded());
    EXPECT_EQ(info.Translation(), 0x040704E4u);
    EXPECT_EQ(info.FileDescription(), "Größe ✓ 𝄞 \"quoted\"; semi");
    EXPECT_EQ(info.FileVersion(), "7.8.9");
    EXPECT_EQ(info.OriginalFilename(), "version_embed_probe");
    EXPECT_EQ(info.LegalCopyright(), "Copyright (C) Orvanta GmbH");
    EXPECT_EQ(info.GetString("Comments"), "");
    EXPECT_EQ(info.GetString("InternalName"), "probe");
    const auto fixed = info.FixedInfo();
    ASSERT_TRUE(fixed.has_value());
    EXPECT_EQ(fixed->fileVersionMS, 0x00070008u);
    EXPECT_EQ(fixed->fileVersionLS, 0x00090000u);
}

TEST(VersionInfoTest, ElfOfBothClassesAndByteOrders)
{
    const Bytes block = MakeBlock("040904b0", {StringNode("FileVersion", u"1.0")});
    for (bool wide : {false, true}) {
        for (bool big : {false, true}) {
            const auto found = ExtractVersionBlock(MakeElf(wide, big, ".trawlix_version", block));
            ASSERT_TRUE(found.has_value()) << wide << big;
            EXPECT_EQ(*found, block);
        }
    }
    EXPECT_FALSE(ExtractVersionBlock(MakeElf(true, false, ".trawlix_versio", block)).has_value());
    EXPECT_FALSE(ExtractVersionBlock(MakeElf(true, false, ".trawlix_versionx", block)).has_value());
    EXPECT_FALSE(ExtractVersionBlock(MakeElf(true, false, ".data", block)).has_value());
}

TEST(VersionInfoTest, PaddingAfterTheEmbeddedBlockIsNotPartOfIt)
{
    // Sanitizers may pad the array in its section; the root's length marks the block's end.
    const Bytes block = MakeBlock("040904b0", {StringNode("FileVersion", u"1.0")});
    Bytes padded = block;
    padded.resize(padded.size() + 64, 0xAA);
    const auto found = ExtractVersionBlock(MakeElf(true, false, ".trawlix_version", padded));
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, block);
}

// --- PE fixtures made by windres and ld ----------------------------------------------------------

TEST(VersionInfoTest, ReadsTheFlashingToolUnderAnotherName)
{
    CJVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("setup.exe")));
    EXPECT_EQ(info.Translation(), 0x040904E4u);
    EXPECT_EQ(info.OriginalFilename(), "FIRMCASTER.EXE");
    EXPECT_EQ(info.FileVersion(), "4.28.0.1");
    EXPECT_EQ(info.FileDescription(), "Firmware-Werkzeug für Adapter");
    EXPECT_EQ(info.LegalCopyright(), "Copyright © Orvanta GmbH");
    EXPECT_EQ(info.GetString("NoSuchValue"), "");
    const auto fixed = info.FixedInfo();
    ASSERT_TRUE(fixed.has_value());
    EXPECT_EQ(fixed->fileVersionMS, 0x0004001Cu);
    EXPECT_EQ(fixed->fileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->fileType, 1u);
}

TEST(VersionInfoTest, QueryPathsMatchKeysWithoutRegardToCase)
{
    CJVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("setup.exe")));
    // The table is stored as "040904E4"; the query path formats lower-case digits.
    EXPECT_EQ(info.QueryString("\\StringFileInfo\\040904e4\\OriginalFilename"), "FIRMCASTER.EXE");
    EXPECT_EQ(info.QueryString("\\stringfileinfo\\040904E4\\ORIGINALFILENAME"), "FIRMCASTER.EXE");
    EXPECT_EQ(info.QueryString("StringFileInfo\\\\040904e4\\ProductName\\"), "Firmcaster");
    EXPECT_FALSE(info.QueryString("\\StringFileInfo\\040904e4\\OriginalFilenam").has_value());
    EXPECT_FALSE(info.QueryString("\\StringFileInfo\\040904e4\\OriginalFilenameX").has_value());
    EXPECT_FALSE(info.QueryString("\\StringFileInfo\\04090000\\OriginalFilename").has_value());
}

TEST(VersionInfoTest, ThirtyTwoBitImage)
{
    CJVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("othertool.exe")));
    EXPECT_EQ(info.OriginalFilename(), "othertool.exe");
    EXPECT_EQ(info.Translation(), 0x040904B0u);
}

TEST(VersionInfoTest, FirstTranslationIsTheDefault)
{
    CJVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("twolang.exe")));
    EXPECT_EQ(info.Translation(), 0x040704B0u);
    EXPECT_EQ(info.Translations(), (std::vector<std::uint32_t>{0x040704B0u, 0x040904E4u}));
    EXPECT_EQ(CJVersionInfo::StringQueryPath(info.Translation(), "FileVersion"),
              "\\StringFileInfo\\040704b0\\FileVersion");
    EXPECT_EQ(info.FileVersion(), "1.2.3.4");
    EXPECT_EQ(info.FileDescription(), "Zwei Sprachen");
    // Only under the second translation.
    EXPECT_EQ(info.GetString("Comments"), "");
    EXPECT_EQ(info.GetString("Comments", 0x040904E4u), "English only");
    EXPECT_EQ(info.GetString("FileDescription", 0x040904E4u), "Two languages");
    EXPECT_EQ(info.GetString("OriginalFilename", 0x040904E4u), "");
}

TEST(VersionInfoTest, FailedLoadWithoutVersionDataKeepsWhatWasLoaded)
{
    CJVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("setup.exe")));
    for (const char* name : {"noversion.exe", "noresource.exe", "truncated.exe", "corrupted.exe", "missing.exe"}) {
        EXPECT_FALSE(info.Load(Fixture(name))) << name;
        EXPECT_TRUE(info.IsLoaded()) << name;
        EXPECT_EQ(info.OriginalFilename(), "FIRMCASTER.EXE") << name;
    }
    ASSERT_TRUE(info.Load(Fixture("twolang.exe")));
    EXPECT_EQ(info.OriginalFilename(), "twolang.exe");
    EXPECT_EQ(info.Translation(), 0x040704B0u);
}

TEST(VersionInfoTest, VersionDataWithoutTranslationTableLeavesTheObjectEmpty)
{
    testsupport::TempFolder folder;
    const Bytes block = MakeBlock("040904b0", {StringNode("FileVersion", u"1.0")}, {});
    const auto file = folder.WriteFile("notrans.elf", AsString(MakeElf(true, false, ".trawlix_version", block)));
    CJVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("setup.exe")));
    EXPECT_FALSE(info.Load(file.string()));
    EXPECT_FALSE(info.IsLoaded());
    EXPECT_EQ(info.Translation(), 0u);
    EXPECT_TRUE(info.Data().empty());
}

TEST(VersionInfoTest, ReleaseDropsTheData)
{
    CJVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("setup.exe")));
    info.Release();
    EXPECT_FALSE(info.IsLoaded());
    EXPECT_EQ(info.Translation(), 0u);
    EXPECT_FALSE(info.QueryString("\\StringFileInfo\\040904e4\\OriginalFilename").has_value());
    EXPECT_TRUE(info.Translations().empty());
}

TEST(VersionInfoTest, OverlongValueNameGivesEmptyText)
{
    CJVersionInfo info;
    ASSERT_TRUE(info.Load(Fixture("setup.exe")));
    // "\StringFileInfo\" + 8 digits + "\" is 25 characters: 234 more make 259.
    EXPECT_EQ(CJVersionInfo::StringQueryPath(0x040904E4u, std::string(234, 'x')).size(), 259u);
    EXPECT_TRUE(CJVersionInfo::StringQueryPath(0x040904E4u, std::string(235, 'x')).empty());
    EXPECT_EQ(info.GetString(std::string(300, 'x')), "");
}

TEST(VersionInfoTest, LoadModuleRefusesOverlongNames)
{
    CJVersionInfo info;
    EXPECT_FALSE(info.LoadModule(("/" + std::string(300, 'a')).c_str()));
    EXPECT_FALSE(info.LoadModule(""));
    EXPECT_FALSE(info.IsLoaded());
}

TEST(VersionInfoTest, OnlyRegularFilesAreRead)
{
    testsupport::TempFolder folder;
    const std::string fifo = (folder.Path() / "pipe.exe").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder.Path() / "folder.exe");
    CJVersionInfo info;
    EXPECT_FALSE(info.Load(fifo)); // would block forever if it were opened for a plain read
    EXPECT_FALSE(info.Load((folder.Path() / "folder.exe").string()));
    EXPECT_FALSE(info.Load("/dev/zero"));
    EXPECT_FALSE(info.IsLoaded());
}

// --- The tree reader on its own -------------------------------------------------------------------

TEST(VersionBlockTest, TextValuesAsUtf8)
{
    const Bytes block = MakeBlock("040904b0", {StringNode("A", u"\u00e4\u20ac"), StringNode("B", u"\U0001D11E"),
                                               StringNode("C", u"x\xD800y"), StringNode("D", u"")});
    EXPECT_EQ(QueryString(block, "\\StringFileInfo\\040904b0\\A"), "ä€");
    EXPECT_EQ(QueryString(block, "\\StringFileInfo\\040904b0\\B"), "𝄞");
    EXPECT_EQ(QueryString(block, "\\StringFileInfo\\040904b0\\C"), "x\xEF\xBF\xBDy");
    EXPECT_EQ(QueryString(block, "\\StringFileInfo\\040904b0\\D"), "");
}

TEST(VersionBlockTest, EmptyDeclaredValueDoesNotReadTheNextNode)
{
    TestNode empty{"Empty", {}, 0, 1, {}};
    const Bytes block = MakeBlock("040904b0", {empty, StringNode("Next", u"after")});
    EXPECT_EQ(QueryString(block, "\\StringFileInfo\\040904b0\\Empty"), "");
    EXPECT_EQ(QueryString(block, "\\StringFileInfo\\040904b0\\Next"), "after");
}

TEST(VersionBlockTest, TextWithoutTerminatorEndsAtItsNode)
{
    TestNode node{"Open", {'a', 0, 'b', 0}, 2, 1, {}};
    const Bytes block = MakeBlock("040904b0", {node, StringNode("Next", u"zz")});
    EXPECT_EQ(QueryString(block, "\\StringFileInfo\\040904b0\\Open"), "ab");
}

TEST(VersionBlockTest, DeclaredValueLongerThanItsNodeIsCut)
{
    TestNode node{"Long", Utf16(u"abc"), 60000, 1, {}};
    const Bytes block = MakeBlock("040904b0", {node});
    const auto value = QueryValue(block, "\\StringFileInfo\\040904b0\\Long");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->bytes.size(), 8u);
    EXPECT_EQ(QueryString(block, "\\StringFileInfo\\040904b0\\Long"), "abc");
}

TEST(VersionBlockTest, ZeroAndOversizedNodeLengthsEndTheWalk)
{
    Bytes block = MakeBlock("040904b0", {StringNode("A", u"1"), StringNode("B", u"2")});
    // Find node "A" and make its length 0: the walk of the table stops there.
    const std::size_t a = AsString(block).find(std::string("A\0\0\0", 4)) - 6;
    Bytes zero = block;
    Put16(zero, a, 0);
    EXPECT_FALSE(QueryString(zero, "\\StringFileInfo\\040904b0\\B").has_value());
    EXPECT_FALSE(QueryString(zero, "\\StringFileInfo\\040904b0\\A").has_value());
    // An oversized length is cut at the parent's end: A stays readable, B is swallowed.
    Bytes huge = block;
    Put16(huge, a, 0xFFFF);
    EXPECT_EQ(QueryString(huge, "\\StringFileInfo\\040904b0\\A"), "1");
    EXPECT_FALSE(QueryString(huge, "\\StringFileInfo\\040904b0\\B").has_value());
}

TEST(VersionBlockTest, KeyWithoutTerminatorIsNoNode)
{
    Bytes block(6, 0);
    for (int i = 0; i < 10; ++i) {
        block.push_back('k');
        block.push_back(0);
    }
    Put16(block, 0, static_cast<std::uint16_t>(block.size()));
    EXPECT_FALSE(QueryValue(block, "\\").has_value());
    EXPECT_FALSE(QueryValue(Bytes{}, "\\").has_value());
    EXPECT_FALSE(QueryValue(Bytes{6, 0, 0, 0, 0}, "\\").has_value());
}

TEST(VersionBlockTest, DeepNestingAndLongPathsAreWalkedWithoutRecursion)
{
    // A chain of nodes, each the only child of the one before, as deep as 64 KiB allows: every
    // link is a 12-byte node with the key "k" whose length covers the rest of the block.
    const Bytes leaf = Encode(StringNode("k", u"bottom"));
    const std::size_t depth = (0xFFFF - leaf.size()) / 12;
    Bytes block(depth * 12, 0);
    block.insert(block.end(), leaf.begin(), leaf.end());
    std::string path;
    for (std::size_t i = 0; i < depth; ++i) {
        Put16(block, i * 12, static_cast<std::uint16_t>(block.size() - i * 12));
        Put16(block, i * 12 + 4, 1);
        block[i * 12 + 6] = 'k';
        if (i > 0)
            path += "\\k";
    }
    path += "\\k";
    ASSERT_LE(block.size(), 0xFFFFu);
    EXPECT_EQ(QueryString(block, path), "bottom") << depth;
    EXPECT_FALSE(QueryString(block, path + "\\k").has_value());
    // A path of many thousand components on a flat block fails at the first that is missing.
    std::string longPath;
    for (int i = 0; i < 100000; ++i)
        longPath += "\\StringFileInfo";
    EXPECT_FALSE(QueryString(MakeBlock("040904b0", {}), longPath).has_value());
}

TEST(VersionBlockTest, ManySiblings)
{
    std::vector<TestNode> strings;
    for (int i = 0; i < 2500; ++i)
        strings.push_back(StringNode("v" + std::to_string(i), u"x"));
    const Bytes block = MakeBlock("040904b0", strings);
    ASSERT_LE(block.size(), 0xFFFFu);
    EXPECT_EQ(QueryString(block, "\\StringFileInfo\\040904b0\\v2499"), "x");
    EXPECT_EQ(versioninfo::QueryTranslations(block), std::vector<std::uint32_t>{0x040904B0u});
}

TEST(VersionBlockTest, FixedInfoNeedsItsSignature)
{
    Bytes block = MakeBlock("040904b0", {});
    EXPECT_TRUE(versioninfo::QueryFixedInfo(block).has_value());
    // The value starts after "VS_VERSION_INFO" and its terminator, aligned: 6 + 32 = 38 -> 40.
    Put32(block, 40, 0x12345678u);
    EXPECT_FALSE(versioninfo::QueryFixedInfo(block).has_value());
}

// --- Hostile files -------------------------------------------------------------------------------

// Offsets in setup.exe, from its own headers.
struct PeLayout
{
    std::size_t pe = 0;
    std::size_t optional = 0;
    std::size_t sections = 0;
    std::size_t rsrcFile = 0;
};

PeLayout Layout(const Bytes& file)
{
    PeLayout layout;
    layout.pe = Get32(file, 0x3C);
    layout.optional = layout.pe + 24;
    layout.sections = layout.optional + (file.at(layout.pe + 20) | file.at(layout.pe + 21) << 8);
    const std::size_t count = file.at(layout.pe + 6);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = layout.sections + i * 40;
        if (std::memcmp(&file.at(at), ".rsrc", 5) == 0)
            layout.rsrcFile = Get32(file, at + 20);
    }
    return layout;
}

TEST(VersionInfoHostileTest, EveryTruncationOfEveryFixture)
{
    for (const char* name : {"setup.exe", "othertool.exe", "twolang.exe", "noversion.exe"}) {
        const Bytes file = ReadBytes(Fixture(name));
        const auto whole = ExtractVersionBlock(file);
        for (std::size_t length = 0; length < file.size(); ++length) {
            const auto cut = ExtractVersionBlock(std::span<const std::uint8_t>(file.data(), length));
            // A cut copy yields the whole block or nothing, never a part of it.
            if (cut) {
                EXPECT_EQ(cut, whole) << name << " " << length;
            }
        }
    }
}

TEST(VersionInfoHostileTest, EverySingleByteChangeOfTheFlashingTool)
{
    const Bytes file = ReadBytes(Fixture("setup.exe"));
    const auto whole = ExtractVersionBlock(file);
    ASSERT_TRUE(whole.has_value());
    // Bytes outside the headers and the resource section (code, data, padding) play no part.
    const PeLayout layout = Layout(file);
    std::size_t headersEnd = file.size();
    std::size_t rsrcEnd = layout.rsrcFile;
    for (std::size_t i = 0; i < file.at(layout.pe + 6); ++i) {
        const std::size_t at = layout.sections + i * 40;
        if (Get32(file, at + 16) != 0)
            headersEnd = std::min<std::size_t>(headersEnd, Get32(file, at + 20));
        if (Get32(file, at + 20) == layout.rsrcFile)
            rsrcEnd = layout.rsrcFile + Get32(file, at + 16);
    }
    ASSERT_LT(headersEnd, layout.rsrcFile);
    std::size_t unchanged = 0;
    for (std::size_t at = 0; at < file.size(); ++at) {
        const bool structural = at < headersEnd || (at >= layout.rsrcFile && at < rsrcEnd);
        for (std::uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
            Bytes changed = file;
            changed[at] = value;
            const auto block = ExtractVersionBlock(changed);
            if (!structural) {
                EXPECT_EQ(block, whole) << at;
                ++unchanged;
            }
            if (!block)
                continue;
            // What is found is bytes of the file itself, never read from beyond it.
            ASSERT_NE(std::search(changed.begin(), changed.end(), block->begin(), block->end()), changed.end()) << at;
            EXPECT_LE(versioninfo::QueryTranslations(*block).size(), block->size() / 4) << at;
            (void)versioninfo::QueryFixedInfo(*block);
            const auto name = QueryString(*block, "\\StringFileInfo\\040904e4\\OriginalFilename");
            if (name) {
                EXPECT_LE(name->size(), block->size() * 3 / 2) << at;
            }
        }
    }
    EXPECT_GT(unchanged, 0u);
}

TEST(VersionInfoHostileTest, HeaderFieldsPointingOutside)
{
    const Bytes file = ReadBytes(Fixture("setup.exe"));
    const PeLayout layout = Layout(file);
    ASSERT_NE(layout.rsrcFile, 0u);
    ASSERT_TRUE(ExtractVersionBlock(file).has_value());

    auto fails = [](Bytes changed) { return !ExtractVersionBlock(changed).has_value(); };
    Bytes b = file;
    Put32(b, 0x3C, 0xFFFFFFF0u); // PE header far beyond the end
    EXPECT_TRUE(fails(b));
    b = file;
    Put32(b, 0x3C, static_cast<std::uint32_t>(file.size() - 4)); // signature at the very end
    EXPECT_TRUE(fails(b));
    b = file;
    Put16(b, layout.pe + 6, 0); // no sections
    EXPECT_TRUE(fails(b));
    b = file;
    Put16(b, layout.pe + 6, 0xFFFF); // more sections than Windows loads
    EXPECT_TRUE(fails(b));
    b = file;
    Put16(b, layout.pe + 20, 8); // optional header too short for the resource entry
    EXPECT_TRUE(fails(b));
    b = file;
    Put16(b, layout.optional, 0x1234); // unknown optional-header magic
    EXPECT_TRUE(fails(b));
    b = file;
    Put32(b, layout.optional + 108, 2); // NumberOfRvaAndSizes without the resource entry
    EXPECT_TRUE(fails(b));
    b = file;
    Put32(b, layout.optional + 112 + 16, 0x7FFFF000u); // resource RVA in no section
    EXPECT_TRUE(fails(b));
    for (std::size_t section = 0; section < 3; ++section) {
        b = file;
        Put32(b, layout.sections + section * 40 + 20, 0xFFFFFF00u); // raw data beyond the end
        (void)ExtractVersionBlock(b);
        b = file;
        Put32(b, layout.sections + section * 40 + 16, 0xFFFFFFFFu); // raw size beyond the end
        (void)ExtractVersionBlock(b);
    }

    const std::size_t root = layout.rsrcFile;
    b = file;
    Put16(b, root + 12, 0xFFFF); // entry counts beyond the section
    Put16(b, root + 14, 0xFFFF);
    EXPECT_TRUE(fails(b));
    b = file;
    Put32(b, root + 20, 0x80000000u | 0x7FFFFFF0u); // type directory far outside
    EXPECT_TRUE(fails(b));
    b = file;
    Put32(b, root + 20, 0x80000000u); // type directory is the root itself: a loop
    EXPECT_TRUE(fails(b));
    b = file;
    Put32(b, root + 20, 0x00000000u); // type entry points at data instead of a directory
    EXPECT_TRUE(fails(b));
}

TEST(VersionInfoHostileTest, DataEntryPointingOutside)
{
    const Bytes file = ReadBytes(Fixture("setup.exe"));
    const PeLayout layout = Layout(file);
    const std::size_t root = layout.rsrcFile;
    // Walk the three levels of the real file to its data entry.
    const std::size_t names = root + (Get32(file, root + 20) & 0x7FFFFFFFu);
    const std::size_t languages = root + (Get32(file, names + 20) & 0x7FFFFFFFu);
    const std::size_t entry = root + Get32(file, languages + 20);
    const std::uint32_t rva = Get32(file, entry);
    const std::uint32_t size = Get32(file, entry + 4);
    ASSERT_GT(size, 6u);

    Bytes b = file;
    Put32(b, entry, 0xFFFFFFF0u);
    EXPECT_FALSE(ExtractVersionBlock(b).has_value());
    b = file;
    Put32(b, entry + 4, 0xFFFFFFFFu); // a size beyond the section: the root's length still rules
    EXPECT_EQ(ExtractVersionBlock(b), ExtractVersionBlock(file));
    b = file;
    Put32(b, entry + 4, 4); // too short for a node header
    EXPECT_FALSE(ExtractVersionBlock(b).has_value());
    b = file;
    Put32(b, entry, rva + size - 2); // the block's start at the section's end
    (void)ExtractVersionBlock(b);
    b = file;
    Put32(b, names + 20, Get32(file, root + 20)); // the name level points at itself
    EXPECT_FALSE(ExtractVersionBlock(b).has_value());
    b = file;
    Put32(b, languages + 20, 0x80000000u | (Get32(file, names + 20) & 0x7FFFFFFFu)); // language level loops
    EXPECT_FALSE(ExtractVersionBlock(b).has_value());
}

TEST(VersionInfoHostileTest, ElfHeadersPointingOutside)
{
    const Bytes block = MakeBlock("040904b0", {StringNode("FileVersion", u"1.0")});
    const Bytes file = MakeElf(true, false, ".trawlix_version", block);
    ASSERT_TRUE(ExtractVersionBlock(file).has_value());
    const std::size_t table = Get32(file, 0x28);

    auto fails = [](const Bytes& changed) { return !ExtractVersionBlock(changed).has_value(); };
    Bytes b = file;
    PutN(b, 0x28, 0xFFFFFFFFFFFFFF00ull, 8, false); // section table beyond the end
    EXPECT_TRUE(fails(b));
    b = file;
    PutN(b, 0x3A, 8, 2, false); // section header size too small
    EXPECT_TRUE(fails(b));
    b = file;
    PutN(b, 0x3E, 7, 2, false); // name table index beyond the count
    EXPECT_TRUE(fails(b));
    b = file;
    PutN(b, 0x3C, 0xFFFE, 2, false); // more sections than the file holds
    EXPECT_FALSE(fails(b));          // ours comes before the table runs out of the file
    const Bytes other = MakeElf(true, false, ".trawlix_other00", block);
    b = other;
    PutN(b, 0x3C, 0xFFFE, 2, false); // and without it the walk stops at the file's end
    EXPECT_TRUE(fails(b));
    b = file;
    PutN(b, table + 64 + 24, 0xFFFFFFFFFFFFFFF0ull, 8, false); // name table beyond the end
    EXPECT_TRUE(fails(b));
    b = file;
    PutN(b, table + 64 + 32, 3, 8, false); // name table too short for the name
    EXPECT_TRUE(fails(b));
    b = file;
    PutN(b, table + 128, 0xFFFFFFF0u, 4, false); // section name offset beyond the name table
    EXPECT_TRUE(fails(b));
    b = file;
    PutN(b, table + 128 + 24, 0xFFFFFFFFFFFFFFF0ull, 8, false); // content beyond the end
    EXPECT_TRUE(fails(b));
    b = file;
    PutN(b, table + 128 + 32, 0xFFFFFFFFFFFFFFF0ull, 8, false); // content size beyond the end
    EXPECT_TRUE(ExtractVersionBlock(b).has_value());            // the root's length still rules
    b = file;
    PutN(b, table + 128 + 4, 8, 4, false); // SHT_NOBITS has no bytes in the file
    EXPECT_TRUE(fails(b));
    b = file;
    // Extended numbering: count and name index from section 0.
    PutN(b, 0x3C, 0, 2, false);
    PutN(b, 0x3E, 0xFFFF, 2, false);
    PutN(b, table + 32, 3, 8, false);
    PutN(b, table + 40, 1, 4, false);
    EXPECT_TRUE(ExtractVersionBlock(b).has_value());
    PutN(b, table + 32, 0xFFFFFFFFull, 8, false); // a count nobody can hold
    EXPECT_TRUE(fails(b));
}

TEST(VersionInfoHostileTest, NeitherPeNorElf)
{
    EXPECT_FALSE(ExtractVersionBlock(Bytes{}).has_value());
    EXPECT_FALSE(ExtractVersionBlock(Bytes{'M'}).has_value());
    EXPECT_FALSE(ExtractVersionBlock(Bytes{'M', 'Z'}).has_value());
    EXPECT_FALSE(ExtractVersionBlock(Bytes{0x7F, 'E', 'L', 'F'}).has_value());
    EXPECT_FALSE(ExtractVersionBlock(Bytes(4096, 0)).has_value());
    // A bare version block is no file.
    EXPECT_FALSE(ExtractVersionBlock(MakeBlock("040904b0", {})).has_value());
}

} // namespace
