#pragma once

// What the simulated hosts answer, built without any server code so that it can be tested alone.
#include "sim/network_file.h"

#include <cstdint>
#include <string>

namespace sim {

struct Answer
{
    int status = 200;
    std::string body;
};

// The adapter's "net.shtml" in its label form, with its charset declaration and extra HTML.
[[nodiscard]] std::string StatusPage(const LegacyAdapter& adapter);
// What the adapter's web server answers for "net.shtml": its status page, a router's start page
// or an error page, with the configured status code.
[[nodiscard]] Answer LegacyAnswer(const LegacyAdapter& adapter);

// The two LX400 documents in their configured shape.
[[nodiscard]] std::string SystemInfoDocument(const Lx400Adapter& adapter);
[[nodiscard]] std::string NetworkConfigDocument(const Lx400Adapter& adapter);
[[nodiscard]] std::string LoginSuccessBody(const Lx400Adapter& adapter);

// The login check: 200 when the body is a JSON object whose "userName" and "password" strings match
// (or the adapter takes any login), 400 when the body is not JSON at all, 401 otherwise.
[[nodiscard]] int LoginStatus(const Lx400Adapter& adapter, const std::string& body);

// "426" -> "4.26": the vendor page states versions the way adapters show them.
[[nodiscard]] std::string VersionText(const std::string& compact);
// The vendor CGI: the "Your version"/"Latest version" page when a "latest" line names the device
// and its OEM number (or "*"), a "FILE NOT FOUND" page otherwise; status 200 either way, as the
// vendor's CGI answers.
[[nodiscard]] Answer VendorAnswer(const Network& network, const std::string& ver, const std::string& oem,
                                  const std::string& dev);

// Bytes [offset, offset + length) of the big page of `size` bytes: an HTML page of filler lines
// that starts with "<html>" and ends with "</html>\n", computable block by block. Fills `block`
// (reusing its storage, so that streaming allocates nothing per block).
void BigPageBlock(std::uint64_t size, std::uint64_t offset, std::size_t length, std::string& block);

} // namespace sim
