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
};

struct Network
{
    std::vector<LegacyAdapter> adapters;
    std::string vendorAddress;
    int vendorPort = 80;
    // "dev/oem" -> the newest version the vendor offers.
    std::map<std::string, std::string> latest;
};

// Reads a network description:
//   legacy ADDRESS FORM key=value|key=value...   (hardware, firmware, mac, manufacturer, location)
//   vendor ADDRESS[:PORT]
//   latest DEV OEM VERSION
// '#' starts a comment line. Nullopt with a reason naming the line on any error.
[[nodiscard]] std::optional<Network> ReadNetworkFile(const std::string& path, std::string& error);
[[nodiscard]] std::optional<Network> ParseNetwork(const std::string& text, std::string& error);

// The adapter's "net.shtml" in its label form.
[[nodiscard]] std::string StatusPage(const LegacyAdapter& adapter);

} // namespace sim
