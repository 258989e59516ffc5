#include "cli/output.h"

#include "scan/display_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace {

std::optional<std::uint32_t> ParseIpv4(const std::string& text)
{
    std::uint32_t value = 0;
    int parts = 0;
    std::size_t i = 0;
    while (parts < 4) {
        std::uint32_t octet = 0;
        std::size_t digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 3) {
            octet = octet * 10 + static_cast<std::uint32_t>(text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || octet > 255)
            return std::nullopt;
        value = (value << 8) | octet;
        if (++parts < 4) {
            if (i >= text.size() || text[i] != '.')
                return std::nullopt;
            ++i;
        }
    }
    if (i != text.size())
        return std::nullopt;
    return value;
}

std::array<std::string, 7> Cells(const DeviceRecord& r)
{
    return {DisplayText(r.model, r.jsonApi),      DisplayText(r.firmware, r.jsonApi),
            DisplayText(r.updateText, r.jsonApi), DisplayText(r.manufacturer, r.jsonApi),
            DisplayText(r.mac, r.jsonApi),        DisplayText(r.ip, r.jsonApi),
            DisplayText(r.location, r.jsonApi)};
}

// A table goes to a terminal: control characters from an adapter (escape sequences, line
// breaks, C1 controls from Latin-1 text) become spaces so they cannot rewrite the screen.
std::string Printable(const std::string& utf8)
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

// Columns are padded by code points so that umlauts do not shift the table.
std::size_t DisplayWidth(const std::string& utf8)
{
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (const char c : text) {
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

} // namespace

bool IpLess(const std::string& a, const std::string& b)
{
    const auto x = ParseIpv4(a);
    const auto y = ParseIpv4(b);
    if (x && y)
        return *x < *y;
    if (x != std::nullopt || y != std::nullopt)
        return x.has_value();
    return a < b;
}

std::string FormatRecords(std::vector<DeviceRecord> records, ScanOptions::Format format,
                          const std::vector<std::string>& headers)
{
    std::stable_sort(records.begin(), records.end(),
                     [](const DeviceRecord& a, const DeviceRecord& b) { return IpLess(a.ip, b.ip); });
    std::string out;
    switch (format) {
    case ScanOptions::Format::Json: {
        out = "[";
        for (std::size_t i = 0; i < records.size(); ++i) {
            const DeviceRecord& r = records[i];
            const bool j = r.jsonApi;
            out += i == 0 ? "\n" : ",\n";
            out += "  {\"model\": " + JsonString(DisplayText(r.model, j));
            out += ", \"firmware\": " + JsonString(DisplayText(r.firmware, j));
            out += ", \"updateText\": " + JsonString(DisplayText(r.updateText, j));
            out += ", \"manufacturer\": " + JsonString(DisplayText(r.manufacturer, j));
            out += ", \"mac\": " + JsonString(DisplayText(r.mac, j));
            out += ", \"ip\": " + JsonString(DisplayText(r.ip, j));
            out += ", \"location\": " + JsonString(DisplayText(r.location, j));
            out += ", \"oem\": " + JsonString(DisplayText(r.oem, j));
            out += ", \"latestFirmware\": " + JsonString(DisplayText(r.latestFirmware, j));
            out += ", \"deviceId\": " + std::to_string(r.deviceId);
            out += ", \"updateState\": " + std::to_string(r.updateState);
            out += std::string(", \"jsonApi\": ") + (j ? "true" : "false") + "}";
        }
        out += records.empty() ? "]\n" : "\n]\n";
        break;
    }
    case ScanOptions::Format::Csv: {
        for (std::size_t c = 0; c < headers.size(); ++c)
            out += (c ? "," : "") + CsvField(headers[c]);
        out += "\n";
        for (const auto& r : records) {
            const auto cells = Cells(r);
            for (std::size_t c = 0; c < cells.size(); ++c)
                out += (c ? "," : "") + CsvField(cells[c]);
            out += "\n";
        }
        break;
    }
    case ScanOptions::Format::Table: {
        std::vector<std::array<std::string, 7>> rows;
        std::array<std::string, 7> head;
        for (std::size_t c = 0; c < head.size() && c < headers.size(); ++c)
            head[c] = headers[c];
        rows.push_back(head);
        for (const auto& r : records) {
            auto cells = Cells(r);
            for (auto& cell : cells)
                cell = Printable(cell);
            rows.push_back(cells);
        }
        std::array<std::size_t, 7> width{};
        for (const auto& row : rows)
            for (std::size_t c = 0; c < row.size(); ++c)
                width[c] = std::max(width[c], DisplayWidth(row[c]));
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
        break;
    }
    }
    return out;
}

std::string FormatExplanation(std::vector<DeviceRecord> missing, ScanOptions::Format format)
{
    std::stable_sort(missing.begin(), missing.end(),
                     [](const DeviceRecord& a, const DeviceRecord& b) { return IpLess(a.ip, b.ip); });
    // Details may quote what a host sent (a redirect's target): shown as text, never as controls.
    auto detail = [](const DeviceRecord& r) {
        return r.failure.kind == ProbeFailureKind::None ? std::string("no reason known")
                                                        : DisplayText(r.failure.detail, false);
    };
    std::string out;
    if (format == ScanOptions::Format::Json) {
        out = "[";
        for (std::size_t i = 0; i < missing.size(); ++i) {
            const DeviceRecord& r = missing[i];
            out += i == 0 ? "\n" : ",\n";
            out += "  {\"ip\": " + JsonString(DisplayText(r.ip, false)) +
                   ", \"reason\": " + JsonString(ProbeFailureKey(r.failure.kind)) +
                   ", \"detail\": " + JsonString(detail(r)) + "}";
        }
        return out + (missing.empty() ? "]\n" : "\n]\n");
    }
    std::size_t silent = 0;
    for (const DeviceRecord& r : missing) {
        if (r.failure.kind == ProbeFailureKind::Silent) {
            ++silent;
            continue;
        }
        out += Printable(DisplayText(r.ip, false)) + ": " + Printable(detail(r)) + "\n";
    }
    out += std::to_string(silent) + (silent == 1 ? " address" : " addresses") + " did not answer at all\n";
    return out;
}

std::string FormatFlashToolReport(const FlashToolReport& report, ScanOptions::Format format)
{
    // Folder and section names come from the file system and a Windows INI: shown as UTF-8 when
    // they are, else as Latin-1.
    auto text = [](const std::string& bytes) { return DisplayText(bytes, false); };
    std::string out;
    switch (format) {
    case ScanOptions::Format::Json:
        out = "{\"path\": " + JsonString(text(report.path)) + ", \"oem\": " + std::to_string(report.oem) +
              ", \"adapterTypes\": [";
        for (std::size_t i = 0; i < report.adapterTypes.size(); ++i) {
            const auto& type = report.adapterTypes[i];
            out += i == 0 ? "\n" : ",\n";
            out += "  {\"deviceId\": " + std::to_string(type.deviceId) +
                   ", \"section\": " + JsonString(text(type.section)) +
                   ", \"localVersion\": " + (type.localVersion ? JsonString(text(*type.localVersion)) : "null") + "}";
        }
        out += report.adapterTypes.empty() ? "]}\n" : "\n]}\n";
        break;
    case ScanOptions::Format::Csv:
        out = "path,oem,deviceId,section,localVersion\n";
        for (const auto& type : report.adapterTypes)
            out += CsvField(text(report.path)) + "," + std::to_string(report.oem) + "," +
                   std::to_string(type.deviceId) + "," + CsvField(text(type.section)) + "," +
                   CsvField(text(type.localVersion.value_or(""))) + "\n";
        break;
    case ScanOptions::Format::Table: {
        out = "Flashing tool: " + (report.path.empty() ? std::string("none found") : Printable(text(report.path))) +
              "\nOEM number:    " + (report.oem < 0 ? std::string("unknown") : std::to_string(report.oem)) + "\n";
        if (report.adapterTypes.empty())
            break;
        std::size_t width = std::string("Section").size();
        for (const auto& type : report.adapterTypes)
            width = std::max(width, DisplayWidth(Printable(text(type.section))));
        out += "\nDevice id  Section" + std::string(width - 7 + 2, ' ') + "Local firmware\n";
        for (const auto& type : report.adapterTypes) {
            const std::string id = std::to_string(type.deviceId);
            const std::string section = Printable(text(type.section));
            out += id + std::string(id.size() < 11 ? 11 - id.size() : 1, ' ') + section +
                   std::string(width - DisplayWidth(section) + 2, ' ') +
                   (type.localVersion ? Printable(text(*type.localVersion)) : std::string("-")) + "\n";
        }
        break;
    }
    }
    return out;
}
