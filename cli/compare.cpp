#include "cli/compare.h"

#include "cli/output.h"
#include "resources/string_table.h"
#include "scan/record/device_columns.h"
#include "scan/record/display_text.h"
#include "scan/record/record_format.h"
#include "support/text/ipv4.h"
#include "support/text/strings.h"

#include <json/json.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <sstream>
#include <string_view>

namespace {

// The member `key` of a JSON object, or nullptr; keys may hold any byte, so by length.
const Json::Value* Member(const Json::Value& object, std::string_view key)
{
    return object.find(key.data(), key.data() + key.size());
}

InventoryReadResult NotAResult(const std::string& reason)
{
    return {std::nullopt, "not a trawlix-scan --format json result: " + reason};
}

// jsoncpp's first message ("* Line 3, Column 5\n  Syntax error: ...") on one line.
std::string FirstJsonError(std::string errors)
{
    if (errors.rfind("* ", 0) == 0)
        errors.erase(0, 2);
    for (std::size_t at; (at = errors.find("\n  ")) != std::string::npos;)
        errors.replace(at, 3, ": ");
    errors = errors.substr(0, errors.find('\n'));
    return errors.empty() ? "not JSON" : errors;
}

DeviceRecord DisplayForm(const DeviceRecord& record)
{
    DeviceRecord out = record;
    for (const RecordTextField& text : RecordTexts())
        out.*text.field = DisplayText(record.*text.field, record.jsonApi);
    return out;
}

std::string MacKey(const std::string& mac)
{
    return ToUpper(Trim(mac));
}

// The name of a change in a column, as the JSON result names it.
std::string ChangeName(const DeviceColumn& column)
{
    return column.change == ColumnChange::UpdateState ? "updateState" : std::string(column.key);
}

const DeviceColumn* ColumnOfChange(const std::string& name)
{
    for (const DeviceColumn& column : kDeviceColumns) {
        if (ChangeName(column) == name)
            return &column;
    }
    return nullptr;
}

bool ColumnDiffers(const DeviceColumn& column, const DeviceRecord& a, const DeviceRecord& b)
{
    switch (column.change) {
    case ColumnChange::UpdateState:
        return a.updateState != b.updateState;
    case ColumnChange::MacAddress:
        return MacKey(a.*column.field) != MacKey(b.*column.field);
    case ColumnChange::Text:
        break;
    }
    return a.*column.field != b.*column.field;
}

// A changed value as JSON, and as the table shows it (the update state by its Update text).
std::string FieldJson(const DeviceColumn& column, const DeviceRecord& r)
{
    if (column.change == ColumnChange::UpdateState)
        return std::to_string(r.updateState);
    return JsonString(r.*column.field);
}

std::string FieldText(const DeviceColumn& column, const DeviceRecord& r)
{
    if (column.change == ColumnChange::UpdateState && (r.*column.field).empty())
        return std::to_string(r.updateState);
    return r.*column.field;
}

void SortByAddress(std::vector<DeviceRecord>& records)
{
    std::stable_sort(records.begin(), records.end(),
                     [](const DeviceRecord& a, const DeviceRecord& b) { return IpLess(a.ip, b.ip); });
}

std::string JsonList(std::vector<DeviceRecord> records)
{
    SortByAddress(records);
    std::string out = "[";
    for (std::size_t i = 0; i < records.size(); ++i)
        out += (i == 0 ? "\n  " : ",\n  ") + JsonRecord(records[i]);
    return out + (records.empty() ? "]" : "\n]");
}

std::string Indented(const std::string& lines)
{
    std::string out;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);)
        out += line.empty() ? "\n" : "  " + line + "\n";
    return out;
}

} // namespace

InventoryReadResult ParseInventory(const std::string& json)
{
    Json::CharReaderBuilder builder;
    builder["failIfExtra"] = true;
    builder["collectComments"] = false;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    try {
        if (!reader->parse(json.data(), json.data() + json.size(), &root, &errors))
            return NotAResult(FirstJsonError(errors));
    } catch (const std::exception&) {
        return NotAResult("nested too deeply");
    }
    const Json::Value* list = &root;
    if (root.isObject())
        list = Member(root, "devices");
    if (list == nullptr || !list->isArray())
        return NotAResult("no list of devices");

    std::vector<DeviceRecord> devices;
    for (Json::ArrayIndex i = 0; i < list->size(); ++i) {
        const Json::Value& entry = (*list)[i];
        const std::string which = "device " + std::to_string(i + 1);
        if (!entry.isObject())
            return NotAResult(which + " is not an object");
        DeviceRecord record;
        record.found = true;
        // Every column must be there; the record's other texts may be missing.
        auto readText = [&](std::string_view key, std::string DeviceRecord::*field, bool required) {
            const Json::Value* value = Member(entry, key);
            if (value == nullptr && !required)
                return true;
            if (value == nullptr || !value->isString())
                return false;
            record.*field = value->asString();
            return true;
        };
        for (const DeviceColumn& column : kDeviceColumns) {
            if (!readText(column.key, column.field, true))
                return NotAResult(which + " has no text \"" + std::string(column.key) + "\"");
        }
        for (const RecordTextField& text : kRecordTextFields) {
            if (!readText(text.key, text.field, false))
                return NotAResult(which + " has no text \"" + std::string(text.key) + "\"");
        }
        if (!IsDottedQuad(record.ip))
            return NotAResult(which + " has no IPv4 address in \"ip\"");
        const Json::Value* state = Member(entry, "updateState");
        if (state == nullptr || !state->isInt())
            return NotAResult(which + " has no number \"updateState\"");
        record.updateState = state->asInt();
        if (const Json::Value* id = Member(entry, "deviceId"); id && id->isInt())
            record.deviceId = id->asInt();
        if (const Json::Value* api = Member(entry, "jsonApi"); api && api->isBool())
            record.jsonApi = api->asBool();
        for (const RecordTextField& text : RecordTexts())
            record.*text.field = RecordTextShownAs(record.*text.field, record.jsonApi);
        devices.push_back(std::move(record));
    }
    return {std::move(devices), {}};
}

InventoryReadResult ReadInventoryFile(const std::string& path)
{
    std::string text;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    int error = file == nullptr ? errno : 0;
    if (file != nullptr) {
        char buffer[65536];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, got);
        if (std::ferror(file) != 0)
            error = errno != 0 ? errno : EIO;
        std::fclose(file);
    }
    if (error != 0)
        return {std::nullopt, "cannot read " + path + ": " + std::strerror(error)};
    InventoryReadResult result = ParseInventory(text);
    if (!result.devices)
        result.error = path + " is " + result.error;
    return result;
}

InventoryDiff CompareInventory(const std::vector<DeviceRecord>& before, const std::vector<DeviceRecord>& found)
{
    // Compared as shown; the lists of the result keep the records.
    std::vector<DeviceRecord> now;
    now.reserve(found.size());
    for (const DeviceRecord& record : found)
        now.push_back(DisplayForm(record));
    std::vector<DeviceRecord> earlier;
    earlier.reserve(before.size());
    for (const DeviceRecord& record : before)
        earlier.push_back(DisplayForm(record));
    std::vector<std::string> beforeMacs;
    for (const DeviceRecord& record : earlier)
        beforeMacs.push_back(MacKey(record.mac));
    std::vector<std::string> nowMacs;
    for (const DeviceRecord& record : now)
        nowMacs.push_back(MacKey(record.mac));
    std::vector<bool> beforeMatched(before.size(), false);
    std::vector<std::ptrdiff_t> match(now.size(), -1);

    auto pair = [&](auto&& same) {
        for (std::size_t n = 0; n < now.size(); ++n) {
            for (std::size_t b = 0; match[n] < 0 && b < before.size(); ++b) {
                if (!beforeMatched[b] && same(b, n)) {
                    beforeMatched[b] = true;
                    match[n] = static_cast<std::ptrdiff_t>(b);
                }
            }
        }
    };
    // The MAC address follows an adapter to a new IP address (the same address first, should two
    // adapters share a MAC). Only an adapter without one is recognised by its IP address; two
    // different MACs on one address are two adapters.
    auto sameMac = [&](std::size_t b, std::size_t n) { return !nowMacs[n].empty() && nowMacs[n] == beforeMacs[b]; };
    pair([&](std::size_t b, std::size_t n) { return sameMac(b, n) && now[n].ip == earlier[b].ip; });
    pair(sameMac);
    pair([&](std::size_t b, std::size_t n) {
        return (nowMacs[n].empty() || beforeMacs[b].empty()) && now[n].ip == earlier[b].ip;
    });

    InventoryDiff diff;
    for (std::size_t n = 0; n < now.size(); ++n) {
        if (match[n] < 0) {
            diff.added.push_back(found[n]);
            continue;
        }
        DeviceChange change{earlier[static_cast<std::size_t>(match[n])], now[n], {}};
        for (const DeviceColumn& column : kDeviceColumns) {
            if (ColumnDiffers(column, change.before, change.now))
                change.fields.push_back(ChangeName(column));
        }
        if (!change.fields.empty())
            diff.changed.push_back(std::move(change));
    }
    for (std::size_t b = 0; b < before.size(); ++b) {
        if (!beforeMatched[b])
            diff.gone.push_back(before[b]);
    }
    SortByAddress(diff.added);
    SortByAddress(diff.gone);
    std::stable_sort(diff.changed.begin(), diff.changed.end(),
                     [](const DeviceChange& a, const DeviceChange& b) { return IpLess(a.now.ip, b.now.ip); });
    return diff;
}

std::string FormatComparison(const std::vector<DeviceRecord>& now, const InventoryDiff& diff,
                             ScanOptions::Format format, const std::string& source)
{
    if (format == ScanOptions::Format::Json) {
        std::string out = "{\"devices\": " + JsonList(now) + ",\n\"new\": " + JsonList(diff.added) +
                          ",\n\"gone\": " + JsonList(diff.gone) + ",\n\"changed\": [";
        for (std::size_t i = 0; i < diff.changed.size(); ++i) {
            const DeviceChange& change = diff.changed[i];
            const std::string& mac = change.now.mac.empty() ? change.before.mac : change.now.mac;
            out += (i == 0 ? "\n  " : ",\n  ") + std::string("{\"mac\": ") + JsonString(mac) +
                   ", \"ip\": " + JsonString(change.now.ip) + ", \"fields\": {";
            for (std::size_t f = 0; f < change.fields.size(); ++f) {
                const std::string& field = change.fields[f];
                const DeviceColumn* column = ColumnOfChange(field);
                out += (f == 0 ? "\"" : ", \"") + field + "\": [" +
                       (column ? FieldJson(*column, change.before) : "null") + ", " +
                       (column ? FieldJson(*column, change.now) : "null") + "]";
            }
            out += "}}";
        }
        return out + (diff.changed.empty() ? "]}\n" : "\n]}\n");
    }

    using trawlix::LoadString;
    using trawlix::TextId;
    std::string out = FormatDeviceList(now, ScanOptions::Format::Table) + "\n";
    const std::string shownSource = TerminalText(source);
    if (diff.Empty())
        return out + FillPlaces(LoadString(TextId::CompareNoChange), {shownSource}) + "\n";
    out += FillPlaces(LoadString(TextId::CompareCounts),
                      {shownSource, std::to_string(diff.added.size()), std::to_string(diff.gone.size()),
                       std::to_string(diff.changed.size())}) +
           "\n";
    if (!diff.added.empty())
        out += LoadString(TextId::CompareNew) + "\n" + Indented(FormatRecords(diff.added, RecordFormat::Table));
    if (!diff.gone.empty())
        out += LoadString(TextId::CompareGone) + "\n" + Indented(FormatRecords(diff.gone, RecordFormat::Table));
    if (!diff.changed.empty()) {
        auto caption = [](const DeviceColumn* column) {
            return column != nullptr ? LoadString(column->caption) : std::string();
        };
        std::vector<std::vector<std::string>> rows = {
            {caption(ColumnOfChange("mac")), caption(ColumnOfChange("ip")), LoadString(TextId::CompareField),
             LoadString(TextId::CompareBefore), LoadString(TextId::CompareNow)}};
        for (const DeviceChange& change : diff.changed) {
            const std::string& mac = change.now.mac.empty() ? change.before.mac : change.now.mac;
            for (std::size_t f = 0; f < change.fields.size(); ++f) {
                const DeviceColumn* column = ColumnOfChange(change.fields[f]);
                if (column == nullptr)
                    continue;
                rows.push_back({f == 0 ? TerminalText(mac) : "", f == 0 ? TerminalText(change.now.ip) : "",
                                caption(column), TerminalText(FieldText(*column, change.before)),
                                TerminalText(FieldText(*column, change.now))});
            }
        }
        out += LoadString(TextId::CompareChanged) + "\n" + Indented(AlignColumns(rows));
    }
    return out;
}
