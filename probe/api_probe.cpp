#include "probe/api_probe.h"

#include "probe/firmware_version.h"
#include "probe/transfer_failure.h"
#include "resources/string_table.h"

#include <json/json.h>

#include <exception>
#include <optional>

namespace {

// Parses with the classic reader and its default features (comments allowed, any root value).
// Its nesting limit turns hostile documents into exceptions, which count as "does not parse".
bool ParseDocument(const std::string& text, Json::Value* root)
{
    try {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        Json::Reader reader;
        return reader.parse(text, *root, false);
#pragma GCC diagnostic pop
    } catch (const std::exception&) {
        return false;
    }
}

// Text of one member: strings as they are, missing and null as empty, numbers and booleans as
// their text. Arrays and objects give no text at all.
std::optional<std::string> MemberText(const Json::Value& object, const char* name)
{
    const Json::Value* member = object.find(name, name + std::char_traits<char>::length(name));
    if (member == nullptr || member->isNull())
        return std::string();
    if (member->isString())
        return member->asString();
    if (member->isBool())
        return std::string(member->asBool() ? "true" : "false");
    if (member->isIntegral())
        return member->isUInt64() ? std::to_string(member->asUInt64()) : std::to_string(member->asInt64());
    if (member->isDouble()) {
        Json::StreamWriterBuilder builder;
        return Json::writeString(builder, *member);
    }
    return std::nullopt;
}

void AppendJsonString(std::string* out, const std::string& text)
{
    static const char* const kHex = "0123456789abcdef";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            *out += "\\\"";
            break;
        case '\\':
            *out += "\\\\";
            break;
        case '\n':
            *out += "\\n";
            break;
        case '\r':
            *out += "\\r";
            break;
        case '\t':
            *out += "\\t";
            break;
        default:
            if (byte < 0x20) {
                *out += "\\u00";
                *out += kHex[byte >> 4];
                *out += kHex[byte & 0x0F];
            } else {
                *out += c;
            }
        }
    }
}

} // namespace

std::string ApiLoginBody(const std::string& user, const std::string& password)
{
    std::string body = "{\"userName\":\"";
    AppendJsonString(&body, user);
    body += "\",\"password\":\"";
    AppendJsonString(&body, password);
    body += "\"}";
    return body;
}

ApiSystemInfo ReadApiSystemInfo(const std::string& document)
{
    ApiSystemInfo info;
    Json::Value root;
    if (!ParseDocument(document, &root) || !root.isObject())
        return info;
    const auto version = MemberText(root, "version");
    const auto name = MemberText(root, "name");
    const auto manufacturer = MemberText(root, "manufacturer");
    const auto location = MemberText(root, "location");
    if (!version || !name || !manufacturer || !location)
        return info;
    info.usable = true;
    info.version = *version;
    info.name = *name;
    info.manufacturer = *manufacturer;
    info.location = *location;
    return info;
}

ApiNetworkConfig ReadApiNetworkConfig(const std::string& document)
{
    ApiNetworkConfig config;
    Json::Value root;
    if (!ParseDocument(document, &root) || !root.isObject())
        return config;
    std::string mac;
    static constexpr char kIpv4[] = "ipv4";
    const Json::Value* ipv4 = root.find(kIpv4, kIpv4 + 4);
    if (ipv4 != nullptr && !ipv4->isNull()) {
        if (!ipv4->isObject())
            return config;
        const auto inner = MemberText(*ipv4, "mac");
        if (!inner)
            return config;
        mac = *inner;
    }
    if (mac.empty()) {
        const auto top = MemberText(root, "mac");
        if (!top)
            return config;
        mac = *top;
    }
    config.usable = true;
    config.mac = mac;
    return config;
}

namespace {

// Why a request of the session failed: the transfer's reason, or the status it answered.
ProbeFailure RequestFailure(const ApiSession& session, ProbeFailureKind kind, const std::string& what)
{
    const TransferReport& report = session.LastReport();
    if (report.failure != net::HttpFailure::None)
        return TransferFailure(report);
    if (report.status <= 0)
        return {ProbeFailureKind::Broken, what + " could not be sent"};
    return {kind, what + " answered HTTP " + std::to_string(report.status)};
}

} // namespace

bool ApiLogin(const ProbeTarget& job, ApiSession* session, DeviceRecord* record, ProbeFailure* why)
{
    ProbeFailure ignored;
    if (why == nullptr)
        why = &ignored;
    if (session == nullptr || record == nullptr)
        return false;
    long status = 0;
    std::string body;
    if (!SendApiRequest(session, "POST", "/api/login", ApiLoginBody(job.user, job.password), &status, &body)) {
        *why = RequestFailure(*session, ProbeFailureKind::LoginFailed, "the login");
        return false;
    }
    if (status == 200)
        return true;
    if (status == 401) {
        record->found = true;
        record->jsonApi = true;
        record->model = trawlix::LoadString(trawlix::TextId::AccessDenied);
        *why = {ProbeFailureKind::LoginRefused, "the login was refused (HTTP 401)"};
    } else {
        *why = RequestFailure(*session, ProbeFailureKind::LoginFailed, "the login");
    }
    return false;
}

bool ApiGet(ApiSession* session, const ProbeTarget& job, const std::string& objectPath, std::string* document,
            ProbeFailure* why)
{
    (void)job;
    ProbeFailure ignored;
    if (why == nullptr)
        why = &ignored;
    if (session == nullptr || objectPath.empty() || document == nullptr)
        return false;
    long status = 0;
    std::string body;
    if (!SendApiRequest(session, "GET", objectPath, {}, &status, &body) || status != 200) {
        *why = RequestFailure(*session, ProbeFailureKind::ReadFailed, "reading " + objectPath);
        return false;
    }
    *document = std::move(body);
    return true;
}

bool ProbeApiAdapter(const ProbeTarget& job, DeviceRecord* record, std::string* compactVersion, ProbeFailure* why)
{
    ProbeFailure ignored;
    if (why == nullptr)
        why = &ignored;
    if (record == nullptr)
        return false;
    ApiSession session(job.address, job.port, job.useHttps, job.user, job.password, job.stop);
    if (!ApiLogin(job, &session, record, why))
        return false;
    std::string infoText;
    if (!ApiGet(&session, job, "/api/system/info", &infoText, why))
        return false;
    std::string configText;
    if (!ApiGet(&session, job, "/api/system/network/config", &configText, why))
        return false;

    const ApiSystemInfo info = ReadApiSystemInfo(infoText);
    if (!info.usable) {
        *why = {ProbeFailureKind::UnusableDocument, "the system information (/api/system/info) is unusable"};
        return false;
    }
    std::string displayVersion;
    std::string compact;
    std::string oem;
    SplitFirmwareVersion(info.version, "V", &displayVersion, &compact, &oem);
    std::string manufacturer = info.manufacturer;
    if (!oem.empty())
        manufacturer += " (" + oem + ")";
    record->model = info.name;
    record->firmware = displayVersion;
    record->oem = oem;
    record->manufacturer = manufacturer;
    record->location = info.location;

    const ApiNetworkConfig network = ReadApiNetworkConfig(configText);
    if (!network.usable) {
        *why = {ProbeFailureKind::UnusableDocument,
                "the network configuration (/api/system/network/config) is unusable"};
        return false;
    }
    record->mac = network.mac;
    record->updateState = 0;
    record->deviceId = -1;
    record->found = true;
    record->jsonApi = true;
    if (compactVersion != nullptr)
        *compactVersion = std::move(compact);
    return true;
}
