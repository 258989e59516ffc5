#include "sim/content.h"

#include <json/json.h>

#include <algorithm>
#include <memory>
#include <sstream>

namespace sim {

namespace {

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

std::string Head(const std::string& title, const std::string& charset)
{
    std::string head = "<html><head><title>" + title + "</title>";
    if (!charset.empty())
        head += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charset + "\">";
    return head + "</head>";
}

// Documents are written by hand so that members keep the order of a real adapter's answer.
void AppendString(std::string& json, const std::string& text)
{
    json += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static const char digits[] = "0123456789abcdef";
            json += "\\u00";
            json += digits[(c >> 4) & 15];
            json += digits[c & 15];
        } else {
            json += c;
        }
    }
    json += '"';
}

void AppendMember(std::string& json, const char* name, const JsonMember& member)
{
    if (member.kind == JsonMember::Kind::Missing)
        return;
    if (json.back() != '{')
        json += ',';
    AppendString(json, name);
    json += ':';
    switch (member.kind) {
    case JsonMember::Kind::Text:
        AppendString(json, member.text);
        break;
    case JsonMember::Kind::Null:
    case JsonMember::Kind::Missing:
        json += "null";
        break;
    case JsonMember::Kind::Array:
        json += '[';
        AppendString(json, member.text);
        json += ']';
        break;
    case JsonMember::Kind::Number:
        json += "42";
        break;
    case JsonMember::Kind::True:
        json += "true";
        break;
    case JsonMember::Kind::Object:
        json += "{\"value\":";
        AppendString(json, member.text);
        json += '}';
        break;
    }
}

std::string Shaped(DocumentShape shape, const std::string& object, int depth)
{
    switch (shape) {
    case DocumentShape::Object:
        break;
    case DocumentShape::Unparsable:
        // The document cut off in the middle, as a connection that broke would leave it.
        return object.substr(0, object.size() - 1) + ",\"status\":";
    case DocumentShape::Empty:
        return {};
    case DocumentShape::Array:
        return "[" + object + "]";
    case DocumentShape::Scalar:
        return "42";
    case DocumentShape::Nested:
        return std::string(static_cast<std::size_t>(depth), '[');
    }
    return object;
}

} // namespace

std::string StatusPage(const LegacyAdapter& adapter)
{
    auto row = [&](const char* name, const std::string& label, const std::string& value) {
        const bool omitted = std::find(adapter.omit.begin(), adapter.omit.end(), name) != adapter.omit.end();
        return omitted ? std::string() : Row(adapter.form, label, value);
    };
    return Head("Network", adapter.charset) + "<body><table>\n" + row("hardware", "LX200 Hardware", adapter.hardware) +
           row("firmware", "LX200 Firmware", adapter.firmware) + row("mac", "MAC Address", adapter.mac) +
           row("manufacturer", "UPS Manufacturer", adapter.manufacturer) +
           row("location", "Location", adapter.location) + "</table>" + adapter.extra + "</body></html>\n";
}

Answer LegacyAnswer(const LegacyAdapter& adapter)
{
    switch (adapter.page) {
    case PageKind::Status:
        break;
    case PageKind::Router:
        return {adapter.status, Head("Router", adapter.charset) +
                                    "<body><h1>Welcome</h1><form action=\"/login.cgi\" method=\"post\">"
                                    "User <input name=\"u\"> Password <input type=\"password\" name=\"p\">"
                                    "<input type=\"submit\" value=\"Log in\"></form></body></html>\n"};
    case PageKind::NotFound:
        return {adapter.status, Head("Error", adapter.charset) + "<body><h1>" + std::to_string(adapter.status) +
                                    "</h1><p>File not found: /net.shtml</p></body></html>\n"};
    case PageKind::Error:
        return {adapter.status, Head("Error", adapter.charset) + "<body><h1>Error " + std::to_string(adapter.status) +
                                    "</h1><p>The server cannot show this page now.</p></body></html>\n"};
    }
    return {adapter.status, StatusPage(adapter)};
}

std::string SystemInfoDocument(const Lx400Adapter& adapter)
{
    std::string info = "{";
    AppendMember(info, "version", adapter.version);
    AppendMember(info, "name", adapter.name);
    AppendMember(info, "manufacturer", adapter.manufacturer);
    AppendMember(info, "location", adapter.location);
    info += (info.back() == '{' ? "" : ",");
    info += "\"uptime\":12345}";
    return Shaped(adapter.info, info, adapter.depth);
}

std::string NetworkConfigDocument(const Lx400Adapter& adapter)
{
    std::string config = "{";
    if (adapter.ipv4.kind == JsonMember::Kind::Object) {
        std::string ipv4 = "{";
        AppendMember(ipv4, "mac", adapter.mac);
        config += "\"ipv4\":" + ipv4 + "}";
    } else {
        AppendMember(config, "ipv4", adapter.ipv4);
    }
    AppendMember(config, "mac", adapter.topMac);
    config += "}";
    return Shaped(adapter.config, config, adapter.depth);
}

std::string LoginSuccessBody(const Lx400Adapter& adapter)
{
    return adapter.malformedLoginBody ? "{\"result\":\"ok\",\"session\":" : "{\"result\":\"ok\"}";
}

int LoginStatus(const Lx400Adapter& adapter, const std::string& body)
{
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    try {
        if (!reader->parse(body.data(), body.data() + body.size(), &root, &errors))
            return 400;
    } catch (const std::exception&) {
        // Nesting deeper than the reader's stack limit.
        return 400;
    }
    if (adapter.anyLogin)
        return 200;
    if (!root.isObject())
        return 401;
    const Json::Value& user = root["userName"];
    const Json::Value& password = root["password"];
    const bool match = user.isString() && password.isString() && user.asString() == adapter.user &&
                       password.asString() == adapter.password;
    return match ? 200 : 401;
}

std::string VersionText(const std::string& compact)
{
    if (compact.size() < 2)
        return compact;
    return compact.substr(0, compact.size() - 2) + "." + compact.substr(compact.size() - 2);
}

Answer VendorAnswer(const Network& network, const std::string& ver, const std::string& oem, const std::string& dev)
{
    auto it = network.latest.find(dev + "/" + oem);
    if (it == network.latest.end())
        it = network.latest.find(dev + "/*");
    if (it == network.latest.end())
        return {200, "<html><head><title>Update</title></head><body><p>FILE NOT FOUND</p></body></html>\n"};
    return {200, "<html><body><table>\n"
                 "<tr><td><b>Your version:</b></td><td class=\"mainb\">" +
                     VersionText(ver) +
                     "</td></tr>\n"
                     "<tr><td><b>Latest version:</b></td><td class=\"mainb\">" +
                     it->second + "</td></tr>\n</table></body></html>\n"};
}

void BigPageBlock(std::uint64_t size, std::uint64_t offset, std::size_t length, std::string& block)
{
    static const std::string head = "<html><head><title>Log</title></head><body>\n";
    static const std::string tail = "</body></html>\n";
    static const std::string filler = "<p>event log: line voltage nominal, battery charged, no alarms.</p>\n";
    block.clear();
    if (offset >= size)
        return;
    const std::uint64_t end = std::min<std::uint64_t>(size, offset + length);
    if (size < head.size() + tail.size()) {
        const std::string whole = head + tail;
        block.assign(whole, static_cast<std::size_t>(offset), static_cast<std::size_t>(end - offset));
        return;
    }
    const std::uint64_t tailStart = size - tail.size();
    std::uint64_t at = offset;
    while (at < end) {
        if (at < head.size()) {
            const auto take = std::min<std::uint64_t>(end, head.size()) - at;
            block.append(head, static_cast<std::size_t>(at), static_cast<std::size_t>(take));
            at += take;
        } else if (at >= tailStart) {
            block.append(tail, static_cast<std::size_t>(at - tailStart), static_cast<std::size_t>(end - at));
            at = end;
        } else {
            const auto within = static_cast<std::size_t>((at - head.size()) % filler.size());
            const auto take = std::min<std::uint64_t>({end, tailStart, at + filler.size() - within}) - at;
            block.append(filler, within, static_cast<std::size_t>(take));
            at += take;
        }
    }
}

} // namespace sim
