#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// How a simulated legacy adapter writes its labels: with a non-breaking-space entity or through
// the page script, each with or without the width attribute on the value cell.
enum class LabelForm { Plain, PlainWidth, Script, ScriptWidth };

struct LegacyAdapter
{
    std::string address;
    LabelForm form = LabelForm::PlainWidth;
    std::string hardware;
    std::string firmware;
    std::string mac;
    std::string manufacturer;
    std::string location;
    // Declared in a meta element when set ("utf-8" makes the probe re-encode the page).
    std::string charset;
};

// An adapter of the JSON-API family. Member values "~" are left out of the document and "null"
// is written as JSON null.
struct Lx400Adapter
{
    std::string address;
    bool https = true;
    std::string name = "LX400";
    std::string version = "V1.20.0";
    std::string manufacturer;
    std::string location;
    std::string mac;    // under "ipv4"
    std::string topMac; // top-level "mac"
    std::string user = "admin";
    std::string password = "lx400-dflt";
    // "normal", or how the system information is broken: "not-object", "array-member", "malformed".
    std::string info = "normal";
    // "normal" or "malformed".
    std::string config = "normal";
};

// Hosts that misbehave: "silent" (accepts and never answers), "trickle" (a byte now and then,
// forever), "huge" (a 64 MiB page), "bad-utf8" (a page declaring UTF-8 that is not),
// "router" (a start page without labels), "error404"/"error500" (error pages without the
// not-found words), "notfound" (a 200 page saying "File not found"), "nested-json" and
// "malformed-json" (an LX400 whose documents are hostile).
struct HostileHost
{
    std::string address;
    std::string kind;
};

struct Network
{
    std::vector<LegacyAdapter> adapters;
    std::vector<Lx400Adapter> lx400;
    std::vector<HostileHost> hostile;
    std::string vendorAddress;
    int vendorPort = 80;
    // "dev/oem" -> the newest version the vendor offers.
    std::map<std::string, std::string> latest;
};

// Reads a network description:
//   legacy ADDRESS FORM key=value|key=value...   (hardware, firmware, mac, manufacturer, location,
//                                                 charset)
//   lx400 ADDRESS http|https key=value|...        (name, version, manufacturer, location, mac, topmac,
//                                                 user, password, info, config)
//   host ADDRESS KIND                             (a hostile host, kinds above)
//   vendor ADDRESS[:PORT]
//   latest DEV OEM VERSION
// '#' starts a comment line. Nullopt with a reason naming the line on any error.
[[nodiscard]] std::optional<Network> ReadNetworkFile(const std::string& path, std::string& error);
[[nodiscard]] std::optional<Network> ParseNetwork(const std::string& text, std::string& error);

// The adapter's "net.shtml" in its label form.
[[nodiscard]] std::string StatusPage(const LegacyAdapter& adapter);

// The two documents of an LX400's JSON interface.
[[nodiscard]] std::string SystemInfoDocument(const Lx400Adapter& adapter);
[[nodiscard]] std::string NetworkConfigDocument(const Lx400Adapter& adapter);

} // namespace sim
