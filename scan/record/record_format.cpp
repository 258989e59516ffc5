#include "scan/record/record_format.h"

#include "scan/record/device_columns.h"
#include "scan/record/display_text.h"
#include "scan/record/prometheus_series.h"
#include "support/text/ipv4.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace {

struct CodeRange
{
    char32_t first;
    char32_t last;
};

// Characters a terminal draws over the previous one: combining marks of the common scripts,
// zero-width spaces and joiners, variation selectors, tags.
constexpr CodeRange kZeroWidth[] = {
    {0x0300, 0x036F},   {0x0483, 0x0489},   {0x0591, 0x05BD},   {0x05BF, 0x05BF},   {0x05C1, 0x05C2},
    {0x05C4, 0x05C5},   {0x05C7, 0x05C7},   {0x0610, 0x061A},   {0x061C, 0x061C},   {0x064B, 0x065F},
    {0x0670, 0x0670},   {0x06D6, 0x06DC},   {0x06DF, 0x06E4},   {0x06E7, 0x06E8},   {0x06EA, 0x06ED},
    {0x0711, 0x0711},   {0x0730, 0x074A},   {0x07A6, 0x07B0},   {0x07EB, 0x07F3},   {0x0816, 0x082D},
    {0x0859, 0x085B},   {0x08D3, 0x08E1},   {0x08E3, 0x0902},   {0x093A, 0x093A},   {0x093C, 0x093C},
    {0x0941, 0x0948},   {0x094D, 0x094D},   {0x0951, 0x0957},   {0x0962, 0x0963},   {0x0981, 0x0981},
    {0x09BC, 0x09BC},   {0x09C1, 0x09C4},   {0x09CD, 0x09CD},   {0x09E2, 0x09E3},   {0x0A01, 0x0A02},
    {0x0A3C, 0x0A3C},   {0x0A41, 0x0A51},   {0x0A70, 0x0A71},   {0x0A75, 0x0A75},   {0x0A81, 0x0A82},
    {0x0ABC, 0x0ABC},   {0x0AC1, 0x0AC8},   {0x0ACD, 0x0ACD},   {0x0AE2, 0x0AE3},   {0x0B01, 0x0B01},
    {0x0B3C, 0x0B3C},   {0x0B3F, 0x0B3F},   {0x0B41, 0x0B44},   {0x0B4D, 0x0B4D},   {0x0B56, 0x0B56},
    {0x0B62, 0x0B63},   {0x0B82, 0x0B82},   {0x0BC0, 0x0BC0},   {0x0BCD, 0x0BCD},   {0x0C00, 0x0C00},
    {0x0C3E, 0x0C40},   {0x0C46, 0x0C56},   {0x0C62, 0x0C63},   {0x0C81, 0x0C81},   {0x0CBC, 0x0CBC},
    {0x0CCC, 0x0CCD},   {0x0CE2, 0x0CE3},   {0x0D00, 0x0D01},   {0x0D3B, 0x0D3C},   {0x0D41, 0x0D44},
    {0x0D4D, 0x0D4D},   {0x0D62, 0x0D63},   {0x0DCA, 0x0DCA},   {0x0DD2, 0x0DD6},   {0x0E31, 0x0E31},
    {0x0E34, 0x0E3A},   {0x0E47, 0x0E4E},   {0x0EB1, 0x0EB1},   {0x0EB4, 0x0EBC},   {0x0EC8, 0x0ECD},
    {0x0F18, 0x0F19},   {0x0F35, 0x0F35},   {0x0F37, 0x0F37},   {0x0F39, 0x0F39},   {0x0F71, 0x0F7E},
    {0x0F80, 0x0F84},   {0x0F86, 0x0F87},   {0x0F8D, 0x0FBC},   {0x0FC6, 0x0FC6},   {0x102D, 0x1030},
    {0x1032, 0x1037},   {0x1039, 0x103A},   {0x103D, 0x103E},   {0x1058, 0x1059},   {0x1160, 0x11FF},
    {0x135D, 0x135F},   {0x1712, 0x1714},   {0x1732, 0x1734},   {0x1752, 0x1753},   {0x1772, 0x1773},
    {0x17B4, 0x17B5},   {0x17B7, 0x17BD},   {0x17C6, 0x17C6},   {0x17C9, 0x17D3},   {0x17DD, 0x17DD},
    {0x180B, 0x180F},   {0x1885, 0x1886},   {0x18A9, 0x18A9},   {0x1920, 0x1922},   {0x1927, 0x1928},
    {0x1932, 0x1932},   {0x1939, 0x193B},   {0x1A17, 0x1A18},   {0x1A1B, 0x1A1B},   {0x1A56, 0x1A56},
    {0x1A58, 0x1A60},   {0x1A62, 0x1A62},   {0x1A65, 0x1A6C},   {0x1A73, 0x1A7F},   {0x1AB0, 0x1AFF},
    {0x1B00, 0x1B03},   {0x1B34, 0x1B34},   {0x1B36, 0x1B3A},   {0x1B3C, 0x1B3C},   {0x1B42, 0x1B42},
    {0x1B6B, 0x1B73},   {0x1DC0, 0x1DFF},   {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x206F},
    {0x20D0, 0x20F0},   {0x2CEF, 0x2CF1},   {0x2D7F, 0x2D7F},   {0x2DE0, 0x2DFF},   {0x302A, 0x302D},
    {0x3099, 0x309A},   {0xA66F, 0xA672},   {0xA674, 0xA67D},   {0xA69E, 0xA69F},   {0xA6F0, 0xA6F1},
    {0xA802, 0xA802},   {0xA806, 0xA806},   {0xA80B, 0xA80B},   {0xA825, 0xA826},   {0xA8C4, 0xA8C5},
    {0xA8E0, 0xA8F1},   {0xA926, 0xA92D},   {0xA947, 0xA951},   {0xA980, 0xA982},   {0xA9B3, 0xA9B3},
    {0xA9B6, 0xA9B9},   {0xA9BC, 0xA9BD},   {0xFB1E, 0xFB1E},   {0xFE00, 0xFE0F},   {0xFE20, 0xFE2F},
    {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x101FD, 0x101FD}, {0x10A01, 0x10A0F}, {0x10A38, 0x10A3F},
    {0x11001, 0x11001}, {0x11038, 0x11046}, {0x1D167, 0x1D169}, {0x1D17B, 0x1D182}, {0x1D185, 0x1D18B},
    {0x1D1AA, 0x1D1AD}, {0x1E8D0, 0x1E8D6}, {0x1E944, 0x1E94A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
    {0xE0100, 0xE01EF},
};

// Characters a terminal draws two cells wide: Hangul, CJK ideographs and syllabaries, full-width
// forms, and the emoji shown as pictures by default.
constexpr CodeRange kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
    {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4}, {0x17000, 0x18CFF}, {0x1B000, 0x1B2FF},
    {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F202},
    {0x1F210, 0x1F23B}, {0x1F240, 0x1F248}, {0x1F250, 0x1F251}, {0x1F260, 0x1F265}, {0x1F300, 0x1F320},
    {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3},
    {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E}, {0x1F440, 0x1F440}, {0x1F442, 0x1F4FC},
    {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E}, {0x1F550, 0x1F567}, {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596},
    {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F}, {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2},
    {0x1F6D5, 0x1F6D7}, {0x1F6DD, 0x1F6DF}, {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7EB},
    {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <std::size_t N> bool InRanges(const CodeRange (&ranges)[N], char32_t c)
{
    const auto it = std::lower_bound(std::begin(ranges), std::end(ranges), c,
                                     [](const CodeRange& r, char32_t value) { return r.last < value; });
    return it != std::end(ranges) && it->first <= c;
}

// Cells one character takes.
std::size_t CharacterWidth(char32_t c)
{
    if (InRanges(kZeroWidth, c))
        return 0;
    return InRanges(kWide, c) ? 2 : 1;
}

// The code point at `i` and the bytes it takes; a byte that starts no valid sequence stands for
// itself, one cell wide.
char32_t NextCodePoint(const std::string& s, std::size_t& i)
{
    const auto lead = static_cast<unsigned char>(s[i]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length == 1 || i + length > s.size()) {
        ++i;
        return lead;
    }
    char32_t c = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(s[i + k]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return lead;
        }
        c = (c << 6) | (next & 0x3F);
    }
    i += length;
    return c;
}

std::vector<std::string> Cells(const DeviceRecord& r)
{
    std::vector<std::string> cells;
    cells.reserve(kDeviceColumns.size());
    for (const DeviceColumn& column : kDeviceColumns)
        cells.push_back(ColumnText(r, column));
    return cells;
}

} // namespace

// A table goes to a terminal: control characters from an adapter (escape sequences, line
// breaks, C1 controls from Latin-1 text) become spaces so they cannot rewrite the screen.
std::string TerminalText(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x20 || c == 0x7F) {
            out += ' ';
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            out += ' ';
            ++i;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

std::size_t DisplayWidth(const std::string& utf8)
{
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();)
        width += CharacterWidth(NextCodePoint(utf8, i));
    return width;
}

std::string AlignColumns(const std::vector<std::vector<std::string>>& rows)
{
    std::vector<std::size_t> width;
    for (const auto& row : rows) {
        width.resize(std::max(width.size(), row.size()));
        for (std::size_t c = 0; c < row.size(); ++c)
            width[c] = std::max(width[c], DisplayWidth(row[c]));
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += std::string(width[c] - DisplayWidth(row[c]) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + "\n";
    }
    return out;
}

// Cells are opened by spreadsheets, which run a cell starting with one of "=+-@" as a formula,
// and read by scripts line by line: a leading apostrophe keeps such a cell text, and control
// characters become spaces as in the table.
std::string CsvField(const std::string& text)
{
    std::string cell = TerminalText(text);
    if (!cell.empty() && std::string_view("=+-@").find(cell.front()) != std::string_view::npos)
        cell.insert(0, 1, '\'');
    if (cell.find_first_of(",\"") == std::string::npos)
        return cell;
    std::string out = "\"";
    for (const char c : cell) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string JsonString(const std::string& utf8)
{
    std::string out = "\"";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

bool IpLess(const std::string& a, const std::string& b)
{
    const auto x = ParseDottedQuad(a);
    const auto y = ParseDottedQuad(b);
    if (x && y)
        return *x < *y;
    if (x != std::nullopt || y != std::nullopt)
        return x.has_value();
    return a < b;
}

std::string JsonRecord(const DeviceRecord& r)
{
    std::string out = "{";
    for (const RecordTextField& text : RecordTexts())
        out += (out.size() > 1 ? ", \"" : "\"") + std::string(text.key) +
               "\": " + JsonString(DisplayText(r.*text.field, r.jsonApi));
    out += ", \"deviceId\": " + std::to_string(r.deviceId);
    out += ", \"updateState\": " + std::to_string(r.updateState);
    return out + ", \"jsonApi\": " + (r.jsonApi ? "true" : "false") + "}";
}

std::string FormatRecords(std::vector<DeviceRecord> records, RecordFormat format)
{
    std::stable_sort(records.begin(), records.end(),
                     [](const DeviceRecord& a, const DeviceRecord& b) { return IpLess(a.ip, b.ip); });
    std::string out;
    switch (format) {
    case RecordFormat::Json: {
        out = "[";
        for (std::size_t i = 0; i < records.size(); ++i)
            out += (i == 0 ? "\n  " : ",\n  ") + JsonRecord(records[i]);
        out += records.empty() ? "]\n" : "\n]\n";
        break;
    }
    case RecordFormat::Csv: {
        for (const DeviceColumn& column : kDeviceColumns)
            out += (out.empty() ? "" : ",") + std::string(column.key);
        out += "\n";
        for (const auto& r : records) {
            const auto cells = Cells(r);
            for (std::size_t c = 0; c < cells.size(); ++c)
                out += (c ? "," : "") + CsvField(cells[c]);
            out += "\n";
        }
        break;
    }
    case RecordFormat::Table: {
        std::vector<std::vector<std::string>> rows;
        auto& captions = rows.emplace_back();
        for (const std::string& caption : ColumnCaptions())
            captions.push_back(TerminalText(caption));
        for (const auto& r : records) {
            auto& row = rows.emplace_back();
            for (const auto& cell : Cells(r))
                row.push_back(TerminalText(cell));
        }
        out = AlignColumns(rows);
        break;
    }
    case RecordFormat::Prometheus:
        out = FormatPrometheusAdapters(records);
        break;
    }
    return out;
}

std::optional<RecordFormat> RecordFormatNamed(std::string_view name)
{
    for (const auto& entry : kRecordFormats) {
        if (entry.name == name)
            return entry.format;
    }
    return std::nullopt;
}

std::string_view RecordFormatName(RecordFormat format)
{
    for (const auto& entry : kRecordFormats) {
        if (entry.format == format)
            return entry.name;
    }
    return {};
}
