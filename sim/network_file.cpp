#include "sim/network_file.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
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

std::optional<DocumentShape> ParseShape(const std::string& word)
{
    static const std::map<std::string, DocumentShape> shapes = {
        {"normal", DocumentShape::Object}, {"malformed", DocumentShape::Unparsable},
        {"empty", DocumentShape::Empty},   {"not-object", DocumentShape::Array},
        {"scalar", DocumentShape::Scalar}, {"nested", DocumentShape::Nested}};
    const auto it = shapes.find(word);
    return it != shapes.end() ? std::optional(it->second) : std::nullopt;
}

constexpr std::pair<TlsSetup, const char*> kTlsSetups[] = {
    {TlsSetup::OtherName, "other-name"},
    {TlsSetup::Modern, "modern"},
    {TlsSetup::Tls10, "tls1.0"},
    {TlsSetup::Tls11, "tls1.1"},
    {TlsSetup::Tls12, "tls1.2"},
    {TlsSetup::Tls13, "tls1.3"},
    {TlsSetup::Dhe1024, "dhe1024"},
    {TlsSetup::RsaKeyExchange, "rsa-kx"},
    {TlsSetup::Ecdsa, "ecdsa"},
    {TlsSetup::Expired, "expired"},
    {TlsSetup::NotYetValid, "not-yet-valid"},
    {TlsSetup::ClientCertificate, "client-cert"},
    {TlsSetup::Tls10NoRenegotiation, "tls1.0-no-reneg"},
    {TlsSetup::Tls12NoRenegotiation, "tls1.2-no-reneg"},
};

JsonMember ParseMember(const std::string& value)
{
    static const std::map<std::string, JsonMember::Kind> markers = {
        {"null", JsonMember::Kind::Null},    {"~", JsonMember::Kind::Missing},
        {"@array", JsonMember::Kind::Array}, {"@number", JsonMember::Kind::Number},
        {"@true", JsonMember::Kind::True},   {"@object", JsonMember::Kind::Object}};
    if (value.rfind("@=", 0) == 0)
        return {JsonMember::Kind::Text, value.substr(2)};
    if (const auto it = markers.find(value); it != markers.end())
        return {it->second, ""};
    return {JsonMember::Kind::Text, value};
}

std::optional<long long> ParseNumber(const std::string& text, long long low, long long high);

// "/path", "path", "http://HOST[:PORT]/PATH" or "https://...": where a moved page went, seen from
// the adapter at `own`.
std::optional<MovedPage> ParseMoved(const std::string& target, const std::string& own, std::string& why)
{
    MovedPage moved;
    moved.location = target;
    const bool http = target.rfind("http://", 0) == 0;
    moved.https = target.rfind("https://", 0) == 0;
    if (!http && !moved.https) {
        moved.ownHost = true;
        moved.path = target.empty() || target[0] != '/' ? "/" + target : target;
    } else {
        const std::string rest = target.substr(moved.https ? 8 : 7);
        const auto slash = rest.find('/');
        const std::string authority = rest.substr(0, slash);
        moved.path = slash == std::string::npos ? "/" : rest.substr(slash);
        const auto colon = authority.find(':');
        moved.port = moved.https ? 443 : 80;
        if (colon != std::string::npos) {
            const auto port = ParseNumber(authority.substr(colon + 1), 1, 65535);
            if (!port) {
                why = "moved has a bad port";
                return std::nullopt;
            }
            moved.port = static_cast<int>(*port);
        }
        moved.ownHost = authority.substr(0, colon) == own;
    }
    moved.path = moved.path.substr(0, moved.path.find('?'));
    return moved;
}

bool IsIpv4(const std::string& address)
{
    in_addr parsed{};
    return inet_pton(AF_INET, address.c_str(), &parsed) == 1;
}

std::optional<long long> ParseNumber(const std::string& text, long long low, long long high)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    if (text.size() > 18)
        return std::nullopt;
    const long long value = std::stoll(text);
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

// Splits "key=value|key=value" and hands each pair to `take`; false with a reason on the first error.
bool ForEachField(const std::string& fields, std::string& why,
                  const std::function<bool(const std::string&, const std::string&, std::string&)>& take)
{
    std::istringstream pairs(fields);
    std::string pair;
    while (std::getline(pairs, pair, '|')) {
        const auto eq = pair.find('=');
        if (eq == std::string::npos) {
            why = "a field needs key=value";
            return false;
        }
        if (!take(pair.substr(0, eq), pair.substr(eq + 1), why))
            return false;
    }
    return true;
}

std::string RestOfLine(std::istringstream& words)
{
    std::string rest;
    std::getline(words >> std::ws, rest);
    return rest;
}

// The "tls" field of an adapter served over HTTPS (or reached through a redirect to it).
bool TakeTlsField(TlsSetup& tls, const std::string& value, std::string& why)
{
    const auto setup = ParseTlsSetup(value);
    if (!setup) {
        why = "unknown TLS set-up " + value;
        return false;
    }
    tls = *setup;
    return true;
}

bool TakeLegacyField(LegacyAdapter& adapter, bool& statusGiven, const std::string& key, const std::string& value,
                     std::string& why)
{
    static const char* const rows[] = {"hardware", "firmware", "mac", "manufacturer", "location"};
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
    else if (key == "extra")
        adapter.extra = value;
    else if (key == "page") {
        if (value == "status")
            adapter.page = PageKind::Status;
        else if (value == "router")
            adapter.page = PageKind::Router;
        else if (value == "not-found")
            adapter.page = PageKind::NotFound;
        else if (value == "error")
            adapter.page = PageKind::Error;
        else {
            why = "page must be status, router, not-found or error";
            return false;
        }
        if (!statusGiven)
            adapter.status = adapter.page == PageKind::NotFound ? 404 : adapter.page == PageKind::Error ? 500 : 200;
    } else if (key == "status") {
        const auto code = ParseNumber(value, 100, 599);
        if (!code) {
            why = "status must be an HTTP status code";
            return false;
        }
        adapter.status = static_cast<int>(*code);
        statusGiven = true;
    } else if (key == "omit") {
        std::istringstream names(value);
        std::string name;
        while (std::getline(names, name, ',')) {
            if (std::find(std::begin(rows), std::end(rows), name) == std::end(rows)) {
                why = "omit names an unknown value " + name;
                return false;
            }
            adapter.omit.push_back(name);
        }
    } else if (key == "delay") {
        const auto ms = ParseNumber(value, 0, 600000);
        if (!ms) {
            why = "delay must be milliseconds";
            return false;
        }
        adapter.delayMs = static_cast<int>(*ms);
    } else if (key == "moved") {
        adapter.moved = ParseMoved(value, adapter.address, why);
        if (!adapter.moved)
            return false;
    } else if (key == "redirect") {
        const auto code = ParseNumber(value, 300, 399);
        if (!code || (*code != 301 && *code != 302 && *code != 303 && *code != 307 && *code != 308)) {
            why = "redirect must be 301, 302, 303, 307 or 308";
            return false;
        }
        adapter.redirectStatus = static_cast<int>(*code);
    } else if (key == "tls") {
        return TakeTlsField(adapter.tls, value, why);
    } else {
        why = "unknown field " + key;
        return false;
    }
    return true;
}

bool TakeLx400Field(Lx400Adapter& adapter, bool& nameAsArray, const std::string& key, const std::string& value,
                    std::string& why)
{
    const std::map<std::string, JsonMember*> members = {
        {"name", &adapter.name},         {"version", &adapter.version}, {"manufacturer", &adapter.manufacturer},
        {"location", &adapter.location}, {"mac", &adapter.mac},         {"topmac", &adapter.topMac},
        {"ipv4", &adapter.ipv4}};
    if (const auto it = members.find(key); it != members.end()) {
        *it->second = ParseMember(value);
    } else if (key == "user") {
        adapter.user = value;
    } else if (key == "password") {
        adapter.password = value;
    } else if (key == "login" && (value == "any" || value == "strict")) {
        adapter.anyLogin = value == "any";
    } else if (key == "loginbody" && (value == "ok" || value == "malformed")) {
        adapter.malformedLoginBody = value == "malformed";
    } else if (key == "info" && value == "array-member") {
        adapter.info = DocumentShape::Object;
        nameAsArray = true;
    } else if (key == "info" || key == "config") {
        const auto shape = ParseShape(value);
        if (!shape) {
            why = key + " must be normal, not-object, malformed, empty, scalar or nested" +
                  (key == "info" ? std::string(" or array-member") : std::string());
            return false;
        }
        (key == "info" ? adapter.info : adapter.config) = *shape;
        if (key == "info")
            nameAsArray = false;
    } else if (key == "depth") {
        const auto depth = ParseNumber(value, 1, 10000000);
        if (!depth) {
            why = "depth must be a positive number";
            return false;
        }
        adapter.depth = static_cast<int>(*depth);
    } else if (key == "delay") {
        const auto ms = ParseNumber(value, 0, 600000);
        if (!ms) {
            why = "delay must be milliseconds";
            return false;
        }
        adapter.delayMs = static_cast<int>(*ms);
    } else if (key == "fail") {
        const auto colon = value.find(':');
        const std::string step = value.substr(0, colon);
        const auto code = colon == std::string::npos ? std::nullopt : ParseNumber(value.substr(colon + 1), 100, 599);
        if ((step != "login" && step != "info" && step != "config") || !code) {
            why = "fail must be login:CODE, info:CODE or config:CODE";
            return false;
        }
        adapter.fail[step] = static_cast<int>(*code);
    } else if (key == "tls") {
        return TakeTlsField(adapter.tls, value, why);
    } else {
        why = (key == "login" || key == "loginbody") ? "bad value for " + key : "unknown field " + key;
        return false;
    }
    return true;
}

std::optional<bool> ParseScheme(const std::string& word)
{
    if (word == "https")
        return true;
    if (word == "http")
        return false;
    return std::nullopt;
}

// One "host" line: a misbehaving host of the given kind with its optional arguments.
bool TakeHost(Network& network, const std::string& address, const std::string& kind,
              const std::vector<std::string>& args, std::string& why,
              const std::function<bool(const std::string&, int)>& claim)
{
    const std::string usage = "expected: host ADDRESS silent [PORT,...] | trickle [SECONDS] | huge [BYTES] | "
                              "hangup | bad-utf8 | router | error404 | error500 | notfound | nested-json [http|https] "
                              "[DEPTH] | malformed-json [http|https]";
    auto wrong = [&] {
        why = usage;
        return false;
    };
    if (address.empty() || kind.empty())
        return wrong();
    const std::size_t most = kind == "nested-json" ? 2
                             : (kind == "silent" || kind == "trickle" || kind == "huge" || kind == "malformed-json")
                                 ? 1
                                 : 0;
    if (args.size() > most)
        return wrong();
    const std::string arg = args.empty() ? std::string() : args[0];

    if (kind == "silent" || kind == "trickle") {
        RawHost host;
        host.address = address;
        host.mode = kind == "silent" ? RawHost::Mode::Silent : RawHost::Mode::Trickle;
        if (kind == "trickle") {
            host.ports = {80};
            if (!arg.empty()) {
                double seconds = 0;
                try {
                    std::size_t used = 0;
                    seconds = std::stod(arg, &used);
                    if (used != arg.size())
                        seconds = 0;
                } catch (const std::exception&) {
                    seconds = 0;
                }
                if (!(seconds >= 0.001 && seconds <= 3600))
                    return wrong();
                host.intervalMs = static_cast<int>(std::lround(seconds * 1000));
            }
        } else {
            std::istringstream ports(arg.empty() ? std::string("80,443") : arg);
            for (std::string port; std::getline(ports, port, ',');) {
                const auto value = ParseNumber(port, 1, 65535);
                if (!value)
                    return wrong();
                host.ports.push_back(static_cast<int>(*value));
            }
        }
        for (const int port : host.ports)
            if (!claim(address, port))
                return false;
        network.rawHosts.push_back(host);
        return true;
    }
    if (kind == "hangup") {
        RawHost host;
        host.address = address;
        host.mode = RawHost::Mode::Hangup;
        host.ports = {80};
        if (!claim(address, 80))
            return false;
        network.rawHosts.push_back(host);
        return true;
    }
    if (kind == "huge") {
        BigPageHost host;
        host.address = address;
        if (!arg.empty()) {
            const auto size = ParseNumber(arg, 1, 1ll << 40);
            if (!size)
                return wrong();
            host.size = static_cast<std::uint64_t>(*size);
        }
        if (!claim(address, 80))
            return false;
        network.bigPages.push_back(host);
        return true;
    }
    if (kind == "nested-json" || kind == "malformed-json") {
        Lx400Adapter adapter;
        adapter.address = address;
        adapter.https = false;
        adapter.anyLogin = true;
        std::size_t next = 0;
        if (next < args.size() && ParseScheme(args[next]))
            adapter.https = *ParseScheme(args[next++]);
        if (kind == "nested-json") {
            adapter.info = adapter.config = DocumentShape::Nested;
            if (next < args.size()) {
                const auto depth = ParseNumber(args[next++], 1, 10000000);
                if (!depth)
                    return wrong();
                adapter.depth = static_cast<int>(*depth);
            }
        } else {
            adapter.malformedLoginBody = true;
            adapter.info = adapter.config = DocumentShape::Unparsable;
        }
        if (next != args.size())
            return wrong();
        if (!claim(address, adapter.Port()))
            return false;
        network.lx400.push_back(adapter);
        return true;
    }

    LegacyAdapter adapter;
    adapter.address = address;
    if (kind == "bad-utf8") {
        adapter.charset = "utf-8";
        adapter.hardware = "LX300";
        adapter.firmware = "LX200 v 4.30.16";
        adapter.mac = "00:0A:9C:BA:D0:01";
        // A truncated two-byte sequence, a lone continuation byte and a byte UTF-8 never uses.
        adapter.location = "Lager \xC3\x28\xA0\xFF";
    } else if (kind == "router") {
        adapter.page = PageKind::Router;
    } else if (kind == "error404" || kind == "error500") {
        adapter.page = PageKind::Error;
        adapter.status = kind == "error404" ? 404 : 500;
    } else if (kind == "notfound") {
        adapter.page = PageKind::NotFound;
        adapter.status = 200;
    } else {
        return wrong();
    }
    if (!claim(address, 80))
        return false;
    network.adapters.push_back(adapter);
    return true;
}

} // namespace

std::optional<TlsSetup> ParseTlsSetup(const std::string& name)
{
    for (const auto& [setup, text] : kTlsSetups) {
        if (name == text)
            return setup;
    }
    return std::nullopt;
}

const char* TlsSetupName(TlsSetup setup)
{
    for (const auto& [known, text] : kTlsSetups) {
        if (known == setup)
            return text;
    }
    return "";
}

std::optional<Network> ParseNetwork(const std::string& text, std::string& error)
{
    Network network;
    // "address:port" -> the line that claimed it, so that two entries cannot fight over a socket.
    std::map<std::string, int> claimed;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[line.find_first_not_of(" \t")] == '#')
            continue;
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            return std::nullopt;
        };
        std::string why;
        auto claim = [&](const std::string& address, int port) {
            if (!IsIpv4(address)) {
                why = "not an IPv4 address: " + address;
                return false;
            }
            const std::string key = address + ":" + std::to_string(port);
            if (const auto it = claimed.find(key); it != claimed.end()) {
                why = key + " is already used on line " + std::to_string(it->second);
                return false;
            }
            claimed[key] = number;
            return true;
        };

        if (kind == "legacy") {
            LegacyAdapter adapter;
            std::string form;
            words >> adapter.address >> form;
            const auto parsed = ParseForm(form);
            if (adapter.address.empty() || !parsed)
                return fail("expected: legacy ADDRESS plain|plain-width|script|script-width FIELDS");
            adapter.form = *parsed;
            bool statusGiven = false;
            if (!ForEachField(RestOfLine(words), why,
                              [&](const std::string& key, const std::string& value, std::string& reason) {
                                  return TakeLegacyField(adapter, statusGiven, key, value, reason);
                              }))
                return fail(why);
            if (!claim(adapter.address, 80))
                return fail(why);
            // A page moved to another port of the adapter is served there.
            if (adapter.moved && adapter.moved->ownHost && (adapter.moved->https || adapter.moved->port != 80)) {
                if (!claim(adapter.address, adapter.moved->port))
                    return fail(why);
            }
            network.adapters.push_back(adapter);
            ++network.legacyLines;
        } else if (kind == "lx400") {
            Lx400Adapter adapter;
            std::string scheme;
            words >> adapter.address >> scheme;
            const auto https = ParseScheme(scheme);
            if (adapter.address.empty() || !https)
                return fail("expected: lx400 ADDRESS http|https FIELDS");
            adapter.https = *https;
            bool nameAsArray = false;
            if (!ForEachField(RestOfLine(words), why,
                              [&](const std::string& key, const std::string& value, std::string& reason) {
                                  return TakeLx400Field(adapter, nameAsArray, key, value, reason);
                              }))
                return fail(why);
            if (nameAsArray)
                adapter.name.kind = JsonMember::Kind::Array;
            if (!claim(adapter.address, adapter.Port()))
                return fail(why);
            network.lx400.push_back(adapter);
            ++network.lx400Lines;
        } else if (kind == "host") {
            std::string address, what;
            words >> address >> what;
            std::vector<std::string> args;
            for (std::string word; words >> word;)
                args.push_back(word);
            if (!TakeHost(network, address, what, args, why, claim))
                return fail(why);
            ++network.hostLines;
        } else if (kind == "vendor") {
            std::string where;
            std::string option;
            words >> where >> option;
            if (!option.empty()) {
                if (option.rfind("moved=", 0) != 0 || option.size() == 6)
                    return fail("expected: vendor ADDRESS[:PORT] [moved=TARGET]");
                network.vendorMoved = option.substr(6);
            }
            const auto colon = where.find(':');
            network.vendorAddress = where.substr(0, colon);
            network.vendorPort = 80;
            if (colon != std::string::npos) {
                const auto port = ParseNumber(where.substr(colon + 1), 1, 65535);
                if (!port)
                    return fail("bad port");
                network.vendorPort = static_cast<int>(*port);
            }
            if (network.vendorAddress.empty())
                return fail("expected: vendor ADDRESS[:PORT]");
            if (!claim(network.vendorAddress, network.vendorPort))
                return fail(why);
        } else if (kind == "latest") {
            std::vector<std::string> parts;
            for (std::string word; words >> word;)
                parts.push_back(word);
            if (parts.size() < 3)
                return fail("expected: latest DEV OEM VERSION");
            std::string dev = parts[0];
            for (std::size_t i = 1; i + 2 < parts.size(); ++i)
                dev += " " + parts[i];
            const std::string& oem = parts[parts.size() - 2];
            network.latest[dev + "/" + (oem == "-" ? std::string() : oem)] = parts.back();
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

} // namespace sim
