#include "support/text/version_info.h"

#include "support/text/paths.h"
#include "support/text/system.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace versioninfo {

namespace {

// --- Little helpers on byte spans -------------------------------------------------------------

std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Integers of an ELF file, in the byte order its header names.
struct ElfOrder
{
    bool big = false;

    [[nodiscard]] std::uint64_t Get(const std::uint8_t* p, std::size_t width) const
    {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i)
            value |= static_cast<std::uint64_t>(p[big ? width - 1 - i : i]) << (8 * i);
        return value;
    }
};

class MemorySource final : public ByteSource
{
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    [[nodiscard]] std::uint64_t Size() const override { return bytes_.size(); }

    [[nodiscard]] bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) override
    {
        if (offset > bytes_.size() || length > bytes_.size() - offset)
            return false;
        if (length != 0)
            std::memcpy(out, bytes_.data() + offset, length);
        return true;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

class FileSource final : public ByteSource
{
public:
    explicit FileSource(const std::string& path)
    {
        // Non-blocking, so that opening a FIFO that happens to carry an .exe name cannot hang;
        // anything but a regular file is refused below before a byte is read.
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return;
        struct stat info
        {};
        if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
        size_ = static_cast<std::uint64_t>(info.st_size);
    }
    ~FileSource() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }
    [[nodiscard]] std::uint64_t Size() const override { return size_; }

    [[nodiscard]] bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) override
    {
        if (fd_ < 0 || offset > size_ || length > size_ - offset)
            return false;
        std::size_t done = 0;
        while (done < length) {
            const ssize_t got = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false; // error, or the file shrank under us
            done += static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

std::optional<std::vector<std::uint8_t>> ReadBytes(ByteSource& source, std::uint64_t offset, std::size_t length)
{
    std::vector<std::uint8_t> bytes(length);
    if (!source.Read(offset, length, bytes.data()))
        return std::nullopt;
    return bytes;
}

// The block found at some place of a file: `available` bytes may be taken from `offset`, of
// which the root node's length says how many belong to it.
std::optional<std::vector<std::uint8_t>> ReadBlockAt(ByteSource& source, std::uint64_t offset, std::uint64_t available)
{
    std::array<std::uint8_t, 2> head{};
    if (available < 6 || !source.Read(offset, head.size(), head.data()))
        return std::nullopt;
    const std::uint16_t rootLength = Le16(head.data());
    if (rootLength < 6)
        return std::nullopt;
    // A resource shorter than its root claims is taken as far as it goes; the queries keep
    // within what is there.
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(rootLength, available));
    return ReadBytes(source, offset, length);
}

// --- PE images --------------------------------------------------------------------------------

struct PeSection
{
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

class PeImage
{
public:
    explicit PeImage(ByteSource& source) : source_(source) {}

    // Reads the headers and the section table; the resource directory's RVA, or nothing.
    std::optional<std::uint32_t> ResourceDirectory()
    {
        std::array<std::uint8_t, 64> dos{};
        if (!source_.Read(0, dos.size(), dos.data()) || dos[0] != 'M' || dos[1] != 'Z')
            return std::nullopt;
        const std::uint64_t pe = Le32(&dos[0x3C]);
        // Signature and file header.
        std::array<std::uint8_t, 4 + 20> head{};
        if (!source_.Read(pe, head.size(), head.data()) || std::memcmp(head.data(), "PE\0\0", 4) != 0)
            return std::nullopt;
        const std::uint32_t sectionCount = Le16(&head[4 + 2]);
        const std::uint32_t optionalSize = Le16(&head[4 + 16]);
        if (sectionCount == 0 || sectionCount > kMaxPeSections)
            return std::nullopt;

        // The optional header up to the end of its resource entry, data directory 2. Where the
        // directories start depends on the header's magic (PE32 or PE32+); the entry must lie
        // inside the declared header and be counted by NumberOfRvaAndSizes just before them.
        const std::uint64_t optionalStart = pe + head.size();
        std::array<std::uint8_t, 112 + 3 * 8> optHeader{};
        if (optionalSize < 2 || !source_.Read(optionalStart, 2, optHeader.data()))
            return std::nullopt;
        std::size_t directories = 0;
        switch (Le16(optHeader.data())) {
        case 0x10B:
            directories = 96;
            break;
        case 0x20B:
            directories = 112;
            break;
        default:
            return std::nullopt;
        }
        const std::size_t needed = directories + 3 * 8;
        if (optionalSize < needed || !source_.Read(optionalStart, needed, optHeader.data()))
            return std::nullopt;
        if (Le32(&optHeader[directories - 4]) < 3)
            return std::nullopt;
        const std::uint32_t resourceRva = Le32(&optHeader[directories + 2 * 8]);
        const std::uint32_t resourceSize = Le32(&optHeader[directories + 2 * 8 + 4]);
        if (resourceRva == 0 || resourceSize == 0)
            return std::nullopt;

        std::vector<std::uint8_t> table(static_cast<std::size_t>(sectionCount) * 40);
        if (!source_.Read(optionalStart + optionalSize, table.size(), table.data()))
            return std::nullopt;
        for (std::uint32_t i = 0; i < sectionCount; ++i) {
            const std::uint8_t* s = &table[static_cast<std::size_t>(i) * 40];
            sections_.push_back(PeSection{Le32(s + 12), Le32(s + 16), Le32(s + 20)});
        }
        return resourceRva;
    }

    // Reads `length` bytes at `rva`; they must all lie in the file data of one section.
    bool ReadRva(std::uint64_t rva, std::size_t length, std::uint8_t* out)
    {
        const auto place = Locate(rva);
        return place && length <= place->second && source_.Read(place->first, length, out);
    }

    // File offset of `rva` and the number of file bytes of its section from there on.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> Locate(std::uint64_t rva) const
    {
        for (const PeSection& section : sections_) {
            if (rva >= section.virtualAddress && rva - section.virtualAddress < section.rawSize) {
                const std::uint64_t into = rva - section.virtualAddress;
                return std::make_pair(section.rawOffset + into, section.rawSize - into);
            }
        }
        return std::nullopt;
    }

    ByteSource& Source() { return source_; }

private:
    ByteSource& source_;
    std::vector<PeSection> sections_;
};

struct ResourceEntry
{
    std::uint32_t name = 0;   // an id, or with the high bit a string offset
    std::uint32_t target = 0; // with the high bit a subdirectory, else a data entry
};

constexpr std::uint32_t kHighBit = 0x80000000u;

// The entries of the resource directory at `offset` (relative to the resource root), capped.
std::optional<std::vector<ResourceEntry>> ReadResourceDirectory(PeImage& image, std::uint32_t root,
                                                                std::uint32_t offset)
{
    std::array<std::uint8_t, 16> head{};
    if (!image.ReadRva(std::uint64_t{root} + offset, head.size(), head.data()))
        return std::nullopt;
    const std::uint32_t count = std::min<std::uint32_t>(Le16(&head[12]) + Le16(&head[14]), kMaxResourceEntries);
    if (count == 0)
        return std::nullopt;
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(count) * 8);
    if (!image.ReadRva(std::uint64_t{root} + offset + 16, raw.size(), raw.data()))
        return std::nullopt;
    std::vector<ResourceEntry> entries(count);
    for (std::uint32_t i = 0; i < count; ++i)
        entries[i] = ResourceEntry{Le32(&raw[i * 8u]), Le32(&raw[i * 8u + 4])};
    return entries;
}

std::optional<std::vector<std::uint8_t>> ExtractFromPe(ByteSource& source)
{
    PeImage image(source);
    const auto root = image.ResourceDirectory();
    if (!root)
        return std::nullopt;

    // Type 16; then the name, preferably id 1 (VS_VERSION_INFO), else the first; then the
    // first language. Exactly three levels are walked, so a directory that points back at
    // itself ends at the level where a data entry is due.
    const auto types = ReadResourceDirectory(image, *root, 0);
    if (!types)
        return std::nullopt;
    const auto type = std::find_if(types->begin(), types->end(), [](const ResourceEntry& e) {
        return e.name == kResourceTypeVersion && (e.target & kHighBit) != 0;
    });
    if (type == types->end())
        return std::nullopt;

    const auto names = ReadResourceDirectory(image, *root, type->target & ~kHighBit);
    if (!names)
        return std::nullopt;
    auto name = std::find_if(names->begin(), names->end(), [](const ResourceEntry& e) { return e.name == 1; });
    if (name == names->end())
        name = names->begin();
    if ((name->target & kHighBit) == 0)
        return std::nullopt;

    const auto languages = ReadResourceDirectory(image, *root, name->target & ~kHighBit);
    if (!languages || (languages->front().target & kHighBit) != 0)
        return std::nullopt;

    std::array<std::uint8_t, 16> data{};
    if (!image.ReadRva(std::uint64_t{*root} + languages->front().target, data.size(), data.data()))
        return std::nullopt;
    const std::uint32_t dataRva = Le32(&data[0]);
    const std::uint32_t dataSize = Le32(&data[4]);
    const auto place = image.Locate(dataRva);
    if (!place)
        return std::nullopt;
    return ReadBlockAt(image.Source(), place->first, std::min<std::uint64_t>(dataSize, place->second));
}

// --- ELF files --------------------------------------------------------------------------------

std::optional<std::vector<std::uint8_t>> ExtractFromElf(ByteSource& source)
{
    std::array<std::uint8_t, 64> header{};
    if (!source.Read(0, 52, header.data()) || header[0] != 0x7F || header[1] != 'E' || header[2] != 'L' ||
        header[3] != 'F')
        return std::nullopt;
    const bool wide = header[4] == 2;
    if ((header[4] != 1 && !wide) || (header[5] != 1 && header[5] != 2))
        return std::nullopt;
    if (wide && !source.Read(0, 64, header.data()))
        return std::nullopt;
    const ElfOrder order{header[5] == 2};

    // Field places of the two classes.
    const std::uint64_t tableOffset = wide ? order.Get(&header[0x28], 8) : order.Get(&header[0x20], 4);
    const std::uint64_t entrySize = order.Get(&header[wide ? 0x3A : 0x2E], 2);
    std::uint64_t count = order.Get(&header[wide ? 0x3C : 0x30], 2);
    std::uint64_t namesIndex = order.Get(&header[wide ? 0x3E : 0x32], 2);
    const std::size_t minEntry = wide ? 64 : 40;
    if (tableOffset == 0 || entrySize < minEntry || entrySize > 4096)
        return std::nullopt;

    struct Section
    {
        std::uint32_t name = 0;
        std::uint32_t type = 0;
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
        std::uint32_t link = 0;
    };
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(entrySize));
    auto readSection = [&](std::uint64_t index) -> std::optional<Section> {
        if (!source.Read(tableOffset + index * entrySize, raw.size(), raw.data()))
            return std::nullopt;
        const std::uint8_t* s = raw.data();
        if (wide)
            return Section{static_cast<std::uint32_t>(order.Get(s, 4)), static_cast<std::uint32_t>(order.Get(s + 4, 4)),
                           order.Get(s + 24, 8), order.Get(s + 32, 8),
                           static_cast<std::uint32_t>(order.Get(s + 40, 4))};
        return Section{static_cast<std::uint32_t>(order.Get(s, 4)), static_cast<std::uint32_t>(order.Get(s + 4, 4)),
                       order.Get(s + 16, 4), order.Get(s + 20, 4), static_cast<std::uint32_t>(order.Get(s + 24, 4))};
    };

    // Extended numbering: with more sections than the header fields hold, section 0 carries
    // the count (size) and the index of the name table (link).
    constexpr std::uint64_t kIndexEscape = 0xFFFF;
    if (count == 0 || namesIndex == kIndexEscape) {
        const auto first = readSection(0);
        if (!first)
            return std::nullopt;
        if (count == 0)
            count = first->size;
        if (namesIndex == kIndexEscape)
            namesIndex = first->link;
    }
    if (count == 0 || count > kMaxElfSections || namesIndex >= count)
        return std::nullopt;
    const auto names = readSection(namesIndex);
    constexpr std::uint32_t kNoBits = 8;
    if (!names || names->type == kNoBits)
        return std::nullopt;

    const std::size_t wanted = kElfSectionName.size() + 1; // with the NUL
    std::vector<std::uint8_t> name(wanted);
    for (std::uint64_t i = 1; i < count; ++i) {
        const auto section = readSection(i);
        if (!section)
            return std::nullopt;
        if (section->type == kNoBits || section->name >= names->size || names->size - section->name < wanted)
            continue;
        if (!source.Read(names->offset + section->name, wanted, name.data()))
            continue;
        if (std::memcmp(name.data(), kElfSectionName.data(), kElfSectionName.size()) != 0 || name.back() != 0)
            continue;
        return ReadBlockAt(source, section->offset, section->size);
    }
    return std::nullopt;
}

// --- The VS_VERSIONINFO tree ------------------------------------------------------------------

std::size_t Align4(std::size_t offset)
{
    return (offset + 3) & ~std::size_t{3};
}

struct Node
{
    std::size_t start = 0;
    std::size_t end = 0;      // the node's length, cut at its parent's end
    std::size_t keyStart = 0; // UTF-16 key without its terminator
    std::size_t keyEnd = 0;
    std::size_t valueStart = 0; // aligned; may equal `end`
    std::size_t valueEnd = 0;   // declared length, cut at `end`
    std::size_t childStart = 0; // aligned; may lie beyond `end` when there are no children
    std::uint16_t declaredLength = 0;
    bool text = false;
};

// The node at `start`, inside a parent that ends at `limit`; nothing when no node fits there.
std::optional<Node> ReadNode(std::span<const std::uint8_t> block, std::size_t start, std::size_t limit)
{
    if (start > limit || limit - start < 6)
        return std::nullopt;
    const std::uint8_t* p = block.data() + start;
    const std::uint16_t length = Le16(p);
    if (length < 6)
        return std::nullopt;
    Node node;
    node.start = start;
    node.end = std::min(limit, start + length);
    node.declaredLength = Le16(p + 2);
    node.text = Le16(p + 4) == 1;
    node.keyStart = start + 6;
    std::size_t at = node.keyStart;
    while (true) {
        if (node.end - at < 2)
            return std::nullopt; // no terminator inside the node
        if (Le16(block.data() + at) == 0)
            break;
        at += 2;
    }
    node.keyEnd = at;
    node.valueStart = std::min(Align4(at + 2), node.end);
    const std::size_t valueBytes = node.text ? std::size_t{node.declaredLength} * 2 : node.declaredLength;
    node.valueEnd = std::min(node.valueStart + valueBytes, node.end);
    node.childStart = Align4(node.valueStart + valueBytes);
    return node;
}

bool KeyEquals(std::span<const std::uint8_t> block, const Node& node, std::string_view name)
{
    if ((node.keyEnd - node.keyStart) / 2 != name.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const std::uint16_t unit = Le16(block.data() + node.keyStart + 2 * i);
        const auto fold = [](unsigned c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
        if (unit > 0x7F || fold(unit) != fold(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::optional<std::vector<std::uint8_t>> ExtractVersionBlock(ByteSource& source)
{
    std::array<std::uint8_t, 4> magic{};
    if (!source.Read(0, magic.size(), magic.data()))
        return std::nullopt;
    if (magic[0] == 'M' && magic[1] == 'Z')
        return ExtractFromPe(source);
    if (magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F')
        return ExtractFromElf(source);
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ExtractVersionBlock(std::span<const std::uint8_t> file)
{
    MemorySource source(file);
    return ExtractVersionBlock(source);
}

std::optional<std::vector<std::uint8_t>> ReadVersionBlock(const std::string& path)
{
    FileSource source(path);
    if (!source.IsOpen())
        return std::nullopt;
    return ExtractVersionBlock(source);
}

std::optional<VersionValue> QueryValue(std::span<const std::uint8_t> block, std::string_view subBlock)
{
    auto node = ReadNode(block, 0, block.size());
    if (!node)
        return std::nullopt;
    std::size_t visited = 1;
    while (!subBlock.empty()) {
        const std::size_t slash = subBlock.find('\\');
        const std::string_view component = subBlock.substr(0, slash);
        subBlock = slash == std::string_view::npos ? std::string_view{} : subBlock.substr(slash + 1);
        if (component.empty())
            continue;
        // Children follow one another at 32-bit boundaries; each is at least six bytes long,
        // so the walk always moves forward and ends at the parent's end.
        std::optional<Node> found;
        for (std::size_t at = node->childStart; at < node->end;) {
            const auto child = ReadNode(block, at, node->end);
            if (!child || ++visited > kMaxQueryNodes)
                break;
            if (KeyEquals(block, *child, component)) {
                found = child;
                break;
            }
            at = Align4(child->end);
        }
        if (!found)
            return std::nullopt;
        node = found;
    }
    VersionValue value;
    value.bytes = block.subspan(node->valueStart, node->valueEnd - node->valueStart);
    value.rest = block.subspan(node->valueStart, node->end - node->valueStart);
    value.text = node->text;
    value.declaredLength = node->declaredLength;
    return value;
}

std::optional<std::string> QueryString(std::span<const std::uint8_t> block, std::string_view subBlock)
{
    const auto value = QueryValue(block, subBlock);
    if (!value)
        return std::nullopt;
    if (value->declaredLength == 0)
        return std::string{};
    // The platform hands out a pointer to the text, which its callers read up to the
    // terminator whatever length was declared; here the node's end bounds that.
    return Utf16ToUtf8(value->rest);
}

std::string Utf16ToUtf8(std::span<const std::uint8_t> utf16le)
{
    constexpr std::uint32_t kReplacement = 0xFFFD;
    std::string out;
    const std::size_t units = utf16le.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t unit = Le16(&utf16le[2 * i]);
        if (unit == 0)
            break;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const std::uint32_t low = Le16(&utf16le[2 * i + 2]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
    return out;
}

std::optional<FixedFileInfo> QueryFixedInfo(std::span<const std::uint8_t> block)
{
    const auto value = QueryValue(block, "\\");
    if (!value || value->bytes.size() < 52)
        return std::nullopt;
    const std::uint8_t* p = value->bytes.data();
    FixedFileInfo info;
    std::uint32_t* fields[] = {&info.signature,        &info.structVersion,    &info.fileVersionMS, &info.fileVersionLS,
                               &info.productVersionMS, &info.productVersionLS, &info.fileFlagsMask, &info.fileFlags,
                               &info.fileOS,           &info.fileType,         &info.fileSubtype,   &info.fileDateMS,
                               &info.fileDateLS};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        *fields[i] = Le32(p + 4 * i);
    if (info.signature != FixedFileInfo::kSignature)
        return std::nullopt;
    return info;
}

std::vector<std::uint32_t> QueryTranslations(std::span<const std::uint8_t> block)
{
    std::vector<std::uint32_t> translations;
    const auto value = QueryValue(block, "\\VarFileInfo\\Translation");
    if (!value)
        return translations;
    for (std::size_t at = 0; at + 4 <= value->bytes.size(); at += 4)
        translations.push_back(static_cast<std::uint32_t>(Le16(&value->bytes[at])) << 16 | Le16(&value->bytes[at + 2]));
    return translations;
}

} // namespace versioninfo

CJVersionInfo::CJVersionInfo(const char* moduleFile)
{
    (void)LoadModule(moduleFile);
}

bool CJVersionInfo::LoadModule(const char* moduleFile)
{
    const std::string path = moduleFile ? std::string(moduleFile) : ModuleFileName();
    if (path.empty() || path.size() > kMaxPath)
        return false;
    return Load(path);
}

bool CJVersionInfo::Load(const std::string& path)
{
    auto block = versioninfo::ReadVersionBlock(path);
    if (!block)
        return false;
    Release();
    data_ = std::move(block);
    const std::vector<std::uint32_t> translations = versioninfo::QueryTranslations(*data_);
    if (translations.empty()) {
        Release();
        return false;
    }
    translation_ = translations.front();
    return true;
}

std::string CJVersionInfo::GetString(std::string_view name, std::uint32_t translation)
{
    if (!data_ && !LoadModule())
        return {};
    const std::string path = StringQueryPath(translation != 0 ? translation : translation_, name);
    if (path.empty())
        return {};
    return versioninfo::QueryString(*data_, path).value_or(std::string{});
}

void CJVersionInfo::Release()
{
    data_.reset();
    translation_ = 0;
}

std::span<const std::uint8_t> CJVersionInfo::Data() const
{
    return data_ ? std::span<const std::uint8_t>(*data_) : std::span<const std::uint8_t>{};
}

std::optional<std::string> CJVersionInfo::QueryString(std::string_view subBlock) const
{
    if (!data_)
        return std::nullopt;
    return versioninfo::QueryString(*data_, subBlock);
}

std::vector<std::uint32_t> CJVersionInfo::Translations() const
{
    return data_ ? versioninfo::QueryTranslations(*data_) : std::vector<std::uint32_t>{};
}

std::optional<versioninfo::FixedFileInfo> CJVersionInfo::FixedInfo() const
{
    return data_ ? versioninfo::QueryFixedInfo(*data_) : std::nullopt;
}

std::string CJVersionInfo::StringQueryPath(std::uint32_t translation, std::string_view name)
{
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(translation));
    std::string path = "\\StringFileInfo\\";
    path += hex;
    path += '\\';
    path += name;
    if (path.size() > kMaxQueryPath)
        return {};
    return path;
}
