#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Version data of executable files: the VS_VERSIONINFO block of a Windows program (.exe, .dll)
// and the same block compiled into our own ELF files (section ".trawlix_version", written by
// the build's trawlix_embed_version_info), so one reader serves both.
//
// Every offset, length and count in a file is treated as hostile: reads stay inside the file
// and inside the block, each table is capped, and no structure is followed recursively.

namespace versioninfo {

// The ELF section that holds the program's own version block.
inline constexpr std::string_view kElfSectionName = ".trawlix_version";
// A block is at most this long: its root node's 16-bit length.
inline constexpr std::size_t kMaxBlockSize = 0xFFFF;
// Resource type of version data.
inline constexpr std::uint32_t kResourceTypeVersion = 16;
// Windows refuses images with more sections than this.
inline constexpr std::uint32_t kMaxPeSections = 96;
// Entries looked at in one resource directory; real files have a few dozen.
inline constexpr std::uint32_t kMaxResourceEntries = 4096;
// Section headers looked at in an ELF file.
inline constexpr std::uint32_t kMaxElfSections = 65535;
// Nodes one query may visit.
inline constexpr std::size_t kMaxQueryNodes = 16384;

// Random access to the bytes of a file or of a memory block.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    [[nodiscard]] virtual std::uint64_t Size() const = 0;
    // Reads exactly `length` bytes at `offset`; false when any of them lies outside the source
    // or cannot be read.
    [[nodiscard]] virtual bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) = 0;
};

// The version block of a PE image or an ELF file held in `source`; nothing when it has none or
// its structures point outside the file.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> ExtractVersionBlock(ByteSource& source);
// The same for bytes in memory.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> ExtractVersionBlock(std::span<const std::uint8_t> file);
// The same for a regular file (FIFOs, devices and folders are refused without being read).
[[nodiscard]] std::optional<std::vector<std::uint8_t>> ReadVersionBlock(const std::string& path);

// The node found by a query: its value as declared (text values count 16-bit units, binary
// values bytes), cut at the end of the node.
struct VersionValue
{
    std::span<const std::uint8_t> bytes;
    // From the value's start to the end of its node: where a text value's terminator is sought.
    std::span<const std::uint8_t> rest;
    bool text = false;
    std::uint16_t declaredLength = 0;
};

// Looks `subBlock` up in `block` the way the platform's version query does: components
// separated by backslashes (empty ones skipped), each matched against the keys of the current
// node's children without regard to ASCII case; "\" alone names the root's value (the fixed
// file information). Nothing when a component is not found.
[[nodiscard]] std::optional<VersionValue> QueryValue(std::span<const std::uint8_t> block, std::string_view subBlock);

// A string value as UTF-8: the UTF-16LE text from the value's start up to its terminator or the
// end of its node; empty for a value declared empty. Nothing when `subBlock` is not found.
[[nodiscard]] std::optional<std::string> QueryString(std::span<const std::uint8_t> block, std::string_view subBlock);

// UTF-16LE up to the first NUL unit (or the end) as UTF-8; lone surrogates become U+FFFD, an
// odd last byte is dropped.
[[nodiscard]] std::string Utf16ToUtf8(std::span<const std::uint8_t> utf16le);

// The fixed part of a version block (VS_FIXEDFILEINFO).
struct FixedFileInfo
{
    static constexpr std::uint32_t kSignature = 0xFEEF04BDu;
    std::uint32_t signature = 0;
    std::uint32_t structVersion = 0;
    std::uint32_t fileVersionMS = 0;
    std::uint32_t fileVersionLS = 0;
    std::uint32_t productVersionMS = 0;
    std::uint32_t productVersionLS = 0;
    std::uint32_t fileFlagsMask = 0;
    std::uint32_t fileFlags = 0;
    std::uint32_t fileOS = 0;
    std::uint32_t fileType = 0;
    std::uint32_t fileSubtype = 0;
    std::uint32_t fileDateMS = 0;
    std::uint32_t fileDateLS = 0;
};
[[nodiscard]] std::optional<FixedFileInfo> QueryFixedInfo(std::span<const std::uint8_t> block);

// Every entry of "\VarFileInfo\Translation": language id in the high 16 bits, code page in the
// low 16 bits.
[[nodiscard]] std::vector<std::uint32_t> QueryTranslations(std::span<const std::uint8_t> block);

} // namespace versioninfo

// String values of an executable's version data, kept together with the file's first
// translation. One object serves one thread at a time.
class CJVersionInfo
{
public:
    // Longest query path GetString builds.
    static constexpr std::size_t kMaxQueryPath = 259;

    CJVersionInfo() = default;
    // Loads the version data of `moduleFile` at once (LoadModule); null means the program's own
    // file.
    explicit CJVersionInfo(const char* moduleFile);

    // Loads the version data of `moduleFile`, or of the program's own file (/proc/self/exe)
    // when it is null. False when the file name is empty or longer than kMaxPath, or Load fails.
    bool LoadModule(const char* moduleFile = nullptr);

    // Reads the file's version data and its first translation. A file without version data
    // leaves the object as it was; one whose data has no translation table leaves it empty.
    bool Load(const std::string& path);

    // The value `name` under `translation` (0: the loaded one), UTF-8; empty when it is missing.
    // An empty object first loads the program's own file.
    [[nodiscard]] std::string GetString(std::string_view name, std::uint32_t translation = 0);

    // Drops the data; the translation becomes 0.
    void Release();

    [[nodiscard]] std::string OriginalFilename() { return GetString("OriginalFilename"); }
    [[nodiscard]] std::string FileVersion() { return GetString("FileVersion"); }
    [[nodiscard]] std::string FileDescription() { return GetString("FileDescription"); }
    [[nodiscard]] std::string LegalCopyright() { return GetString("LegalCopyright"); }

    [[nodiscard]] bool IsLoaded() const { return data_.has_value(); }
    // Language id * 65536 + code page of the first translation; 0 when nothing is loaded.
    [[nodiscard]] std::uint32_t Translation() const { return translation_; }
    // The loaded block; empty when nothing is loaded.
    [[nodiscard]] std::span<const std::uint8_t> Data() const;

    // A query path on the loaded data, e.g. "\StringFileInfo\040904b0\ProductName"; nothing when
    // nothing is loaded or the path is not found.
    [[nodiscard]] std::optional<std::string> QueryString(std::string_view subBlock) const;
    [[nodiscard]] std::vector<std::uint32_t> Translations() const;
    [[nodiscard]] std::optional<versioninfo::FixedFileInfo> FixedInfo() const;

    // "\StringFileInfo\%08lx\%s" for `translation` and `name`; empty when longer than
    // kMaxQueryPath.
    [[nodiscard]] static std::string StringQueryPath(std::uint32_t translation, std::string_view name);

private:
    std::optional<std::vector<std::uint8_t>> data_;
    std::uint32_t translation_ = 0;
};
