// Reads arbitrary bytes as a PE image or ELF file and, separately, as a bare version block, and
// asks the questions the program asks. Besides memory errors it checks that a found block is a
// copy no longer than a root node can declare, that every value lies inside its block, and that
// every text comes out as valid UTF-8.
#include "support/text/version_info.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool IsUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t follow = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (text.size() - i <= follow)
            return false;
        for (std::size_t k = 1; k <= follow; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (next & 0x3Fu);
        }
        const std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[follow] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += follow + 1;
    }
    return true;
}

void Inside(std::span<const std::uint8_t> part, std::span<const std::uint8_t> block)
{
    Check(part.data() >= block.data() && part.data() + part.size() <= block.data() + block.size());
}

void Ask(std::span<const std::uint8_t> block)
{
    const auto translations = versioninfo::QueryTranslations(block);
    (void)versioninfo::QueryFixedInfo(block);
    const std::string paths[] = {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo", "", "\\\\\\"};
    for (const std::string& path : paths) {
        if (const auto value = versioninfo::QueryValue(block, path)) {
            Inside(value->bytes, block);
            Inside(value->rest, block);
            Check(value->bytes.size() <= value->rest.size());
        }
    }
    if (translations.empty())
        return;
    for (const char* name : {"OriginalFilename", "FileVersion", "FileDescription", "LegalCopyright"}) {
        const std::string path = CJVersionInfo::StringQueryPath(translations.front(), name);
        if (const auto text = versioninfo::QueryString(block, path))
            Check(IsUtf8(*text));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> input(data, size);
    if (const auto block = versioninfo::ExtractVersionBlock(input)) {
        Check(block->size() >= 6 && block->size() <= versioninfo::kMaxBlockSize);
        Ask(*block);
    }
    Ask(input);
    Check(IsUtf8(versioninfo::Utf16ToUtf8(input)));
    return 0;
}
