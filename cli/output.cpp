#include "cli/output.h"

#include "resources/string_table.h"
#include "scan/record/display_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

std::string FormatDeviceList(const std::vector<DeviceRecord>& records, ScanOptions::Format format)
{
    if (format == ScanOptions::Format::Table && records.empty())
        return trawlix::LoadString(trawlix::TextId::NoDeviceFound) + "\n";
    return FormatRecords(records, format);
}

int WriteOutput(const std::string& text, std::FILE* out, std::FILE* err)
{
    errno = 0;
    bool failed = std::fwrite(text.data(), 1, text.size(), out) != text.size();
    int error = failed ? errno : 0;
    if (std::fflush(out) != 0 && !failed) {
        failed = true;
        error = errno;
    }
    if (!failed)
        return 0;
    if (error != EPIPE) {
        std::fprintf(err, "trawlix-scan: cannot write the output: %s\n",
                     error != 0 ? std::strerror(error) : "write error");
        std::fflush(err);
    }
    return 1;
}

std::string FormatExplanation(std::vector<DeviceRecord> records, ScanOptions::Format format)
{
    // Sorted by reference: a wide search leaves tens of thousands of records.
    std::vector<const DeviceRecord*> missing;
    missing.reserve(records.size());
    for (const DeviceRecord& record : records)
        missing.push_back(&record);
    std::stable_sort(missing.begin(), missing.end(),
                     [](const DeviceRecord* a, const DeviceRecord* b) { return IpLess(a->ip, b->ip); });
    // Details may quote what a host sent (a redirect's target): shown as text, never as controls.
    auto detail = [](const DeviceRecord& r) {
        return r.failure.kind == ProbeFailureKind::None ? std::string("no reason known")
                                                        : PlainTextAsUtf8(r.failure.detail);
    };
    std::string out;
    if (format == ScanOptions::Format::Json) {
        out = "[";
        for (std::size_t i = 0; i < missing.size(); ++i) {
            const DeviceRecord& r = *missing[i];
            out += i == 0 ? "\n" : ",\n";
            out += "  {\"ip\": " + JsonString(PlainTextAsUtf8(r.ip)) +
                   ", \"reason\": " + JsonString(ProbeFailureKey(r.failure.kind)) +
                   ", \"detail\": " + JsonString(detail(r)) + "}";
        }
        return out + (missing.empty() ? "]\n" : "\n]\n");
    }
    std::size_t silent = 0;
    for (const DeviceRecord* record : missing) {
        const DeviceRecord& r = *record;
        if (r.failure.kind == ProbeFailureKind::Silent) {
            ++silent;
            continue;
        }
        out += TerminalText(PlainTextAsUtf8(r.ip)) + ": " + TerminalText(detail(r)) + "\n";
    }
    out += std::to_string(silent) + (silent == 1 ? " address" : " addresses") + " did not answer at all\n";
    return out;
}

void ExplainMissingFactoryRoute(std::vector<DeviceRecord>& missing, const std::string& advice)
{
    for (DeviceRecord& record : missing) {
        if (record.ip == "10.10.10.10")
            record.failure = {ProbeFailureKind::NoRoute, advice};
    }
}

std::string FormatFlashToolReport(const FlashToolReport& report, ScanOptions::Format format)
{
    // Folder and section names come from the file system and a Windows INI: shown as UTF-8 when
    // they are, else as Latin-1.
    auto text = [](const std::string& bytes) { return PlainTextAsUtf8(bytes); };
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
    case ScanOptions::Format::Table:
    case ScanOptions::Format::Prometheus: { // a report of a folder is no metric; the options refuse it
        // Without a tool the folder is named, so the user knows where to put it.
        out = "Flashing tool: " +
              (report.path.empty()
                   ? "none found" + (report.folder.empty() ? "" : " in " + TerminalText(text(report.folder)))
                   : TerminalText(text(report.path))) +
              "\nOEM number:    " + (report.oem < 0 ? std::string("unknown") : std::to_string(report.oem)) + "\n";
        if (report.adapterTypes.empty())
            break;
        std::size_t width = std::string("Section").size();
        for (const auto& type : report.adapterTypes)
            width = std::max(width, DisplayWidth(TerminalText(text(type.section))));
        out += "\nDevice id  Section" + std::string(width - 7 + 2, ' ') + "Local firmware\n";
        for (const auto& type : report.adapterTypes) {
            const std::string id = std::to_string(type.deviceId);
            const std::string section = TerminalText(text(type.section));
            out += id + std::string(id.size() < 11 ? 11 - id.size() : 1, ' ') + section +
                   std::string(width - DisplayWidth(section) + 2, ' ') +
                   (type.localVersion ? TerminalText(text(*type.localVersion)) : std::string("-")) + "\n";
        }
        break;
    }
    }
    return out;
}
