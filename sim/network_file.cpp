#include "sim/network_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace sim {

namespace {

std::optional<LabelForm> ParseForm(const std::string& word)
{
    if (word == "plain")
        return LabelForm::Plain;
    if (word == "plain-width")
        return LabelForm::PlainWidth;
    if (word == "script")
        return LabelForm::Script;
    if (word == "script-width")
        return LabelForm::ScriptWidth;
    return std::nullopt;
}

std::string Row(LabelForm form, const std::string& label, const std::string& value)
{
    std::string cell;
    if (form == LabelForm::Plain || form == LabelForm::PlainWidth) {
        std::string entity = label;
        if (const auto blank = entity.find(' '); blank != std::string::npos)
            entity.replace(blank, 1, "&nbsp;");
        cell = "<tr><td class=\"main\">" + entity + "</td>";
    } else {
        cell = "<tr><td class=\"main\"><script>_dw(\"" + label + "\")</script></td>";
    }
    const bool width = form == LabelForm::PlainWidth || form == LabelForm::ScriptWidth;
    return cell + (width ? "<td class=\"mainb\" width=\"100%\">" : "<td class=\"mainb\">") + value + "</td></tr>\n";
}

} // namespace

std::optional<Network> ParseNetwork(const std::string& text, std::string& error)
{
    Network network;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            return std::nullopt;
        };
        if (kind == "legacy") {
            LegacyAdapter adapter;
            std::string form;
            words >> adapter.address >> form;
            const auto parsed = ParseForm(form);
            if (adapter.address.empty() || !parsed)
                return fail("expected: legacy ADDRESS plain|plain-width|script|script-width FIELDS");
            adapter.form = *parsed;
            std::string fields;
            std::getline(words >> std::ws, fields);
            std::istringstream pairs(fields);
            std::string pair;
            while (std::getline(pairs, pair, '|')) {
                const auto eq = pair.find('=');
                if (eq == std::string::npos)
                    return fail("a field needs key=value");
                const std::string key = pair.substr(0, eq);
                const std::string value = pair.substr(eq + 1);
                if (key == "hardware")
                    adapter.hardware = value;
                else if (key == "firmware")
                    adapter.firmware = value;
                else if (key == "mac")
                    adapter.mac = value;
                else if (key == "manufacturer")
                    adapter.manufacturer = value;
                else if (key == "location")
                    adapter.location = value;
                else if (key == "charset")
                    adapter.charset = value;
                else
                    return fail("unknown field " + key);
            }
            network.adapters.push_back(adapter);
        } else if (kind == "lx400") {
            Lx400Adapter adapter;
            std::string scheme;
            words >> adapter.address >> scheme;
            if (adapter.address.empty() || (scheme != "http" && scheme != "https"))
                return fail("expected: lx400 ADDRESS http|https FIELDS");
            adapter.https = scheme == "https";
            std::string fields;
            std::getline(words >> std::ws, fields);
            std::istringstream pairs(fields);
            std::string pair;
            while (std::getline(pairs, pair, '|')) {
                const auto eq = pair.find('=');
                if (eq == std::string::npos)
                    return fail("a field needs key=value");
                const std::string key = pair.substr(0, eq);
                const std::string value = pair.substr(eq + 1);
                std::string* target = key == "name"           ? &adapter.name
                                      : key == "version"      ? &adapter.version
                                      : key == "manufacturer" ? &adapter.manufacturer
                                      : key == "location"     ? &adapter.location
                                      : key == "mac"          ? &adapter.mac
                                      : key == "topmac"       ? &adapter.topMac
                                      : key == "user"         ? &adapter.user
                                      : key == "password"     ? &adapter.password
                                      : key == "info"         ? &adapter.info
                                      : key == "config"       ? &adapter.config
                                                              : nullptr;
                if (target == nullptr)
                    return fail("unknown field " + key);
                *target = value;
            }
            if (adapter.info != "normal" && adapter.info != "not-object" && adapter.info != "array-member" &&
                adapter.info != "malformed")
                return fail("info is normal, not-object, array-member or malformed");
            if (adapter.config != "normal" && adapter.config != "malformed")
                return fail("config is normal or malformed");
            network.lx400.push_back(adapter);
        } else if (kind == "host") {
            HostileHost host;
            words >> host.address >> host.kind;
            static const char* const kKinds[] = {"silent",   "trickle",  "huge",     "bad-utf8",    "router",
                                                 "error404", "error500", "notfound", "nested-json", "malformed-json"};
            if (host.address.empty() || std::find(std::begin(kKinds), std::end(kKinds), host.kind) == std::end(kKinds))
                return fail("expected: host ADDRESS silent|trickle|huge|bad-utf8|router|error404|error500|notfound|"
                            "nested-json|malformed-json");
            network.hostile.push_back(host);
        } else if (kind == "vendor") {
            std::string where;
            words >> where;
            const auto colon = where.find(':');
            network.vendorAddress = where.substr(0, colon);
            if (colon != std::string::npos) {
                try {
                    network.vendorPort = std::stoi(where.substr(colon + 1));
                } catch (const std::exception&) {
                    return fail("bad port");
                }
            }
            if (network.vendorAddress.empty() || network.vendorPort < 1 || network.vendorPort > 65535)
                return fail("expected: vendor ADDRESS[:PORT]");
        } else if (kind == "latest") {
            std::string dev, oem, version;
            words >> dev >> oem >> version;
            if (version.empty())
                return fail("expected: latest DEV OEM VERSION");
            network.latest[dev + "/" + oem] = version;
        } else {
            return fail("unknown entry " + kind);
        }
    }
    return network;
}

std::optional<Network> ReadNetworkFile(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseNetwork(text.str(), error);
}

std::string StatusPage(const LegacyAdapter& adapter)
{
    const std::string meta =
        adapter.charset.empty()
            ? std::string()
            : "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + adapter.charset + "\">";
    return "<html><head>" + meta + "<title>Network</title></head><body><table>\n" +
           Row(adapter.form, "LX200 Hardware", adapter.hardware) +
           Row(adapter.form, "LX200 Firmware", adapter.firmware) + Row(adapter.form, "MAC Address", adapter.mac) +
           Row(adapter.form, "UPS Manufacturer", adapter.manufacturer) +
           Row(adapter.form, "Location", adapter.location) + "</table></body></html>\n";
}

namespace {

void AppendMember(std::string* json, const char* name, const std::string& value)
{
    if (value == "~")
        return;
    if (json->back() != '{')
        *json += ',';
    *json += '"';
    *json += name;
    *json += "\":";
    if (value == "null") {
        *json += "null";
        return;
    }
    *json += '"';
    for (const char c : value) {
        if (c == '"' || c == '\\')
            *json += '\\';
        *json += c;
    }
    *json += '"';
}

} // namespace

std::string SystemInfoDocument(const Lx400Adapter& adapter)
{
    if (adapter.info == "not-object")
        return "[\"" + adapter.name + "\"]";
    if (adapter.info == "malformed")
        return "{\"name\":\"" + adapter.name + "\",\"version\":";
    std::string json = "{";
    AppendMember(&json, "version", adapter.version);
    if (adapter.info == "array-member")
        json += ",\"name\":[\"" + adapter.name + "\"]";
    else
        AppendMember(&json, "name", adapter.name);
    AppendMember(&json, "manufacturer", adapter.manufacturer);
    AppendMember(&json, "location", adapter.location);
    json += ",\"uptime\":12345}";
    return json;
}

std::string NetworkConfigDocument(const Lx400Adapter& adapter)
{
    if (adapter.config == "malformed")
        return "{\"ipv4\": {\"mac\": ";
    std::string ipv4 = "{";
    AppendMember(&ipv4, "mac", adapter.mac);
    ipv4 += "}";
    std::string json = "{\"ipv4\":" + ipv4;
    AppendMember(&json, "mac", adapter.topMac.empty() ? std::string("~") : adapter.topMac);
    json += "}";
    return json;
}

} // namespace sim
