#pragma once

#include "platform/http_client.h"
#include "support/threads/stop_token.h"

#include <memory>
#include <string>

// The program's HTTP access: one page GET for the legacy status page and the vendor's update
// page, label cutting on such pages, and sessions for the LX400 JSON interface.

// Name the program introduces itself with to adapters and the vendor's server.
inline constexpr const char* kUserAgent = "Trawlix";

// GET of "http://" + host + "/" + path. The body is read whatever the status; a page that
// contains "FILE NOT FOUND" in any letter case counts as not found. Pages that declare UTF-8 are
// re-encoded to ISO-8859-1 when every character fits. Appends to `page`; false when `page` is
// null, the transfer failed, was stopped, or the page was not found.
bool FetchPage(const std::string& host, const std::string& path, std::string* page, jwin::StopToken stop = {});

// Cuts the text behind the first occurrence of `label` up to the next '<' (or NUL, or the end).
// False when the label does not occur or its first occurrence starts the page; `value` is
// replaced only by a non-empty text.
bool ExtractLabelValue(const std::string& label, const std::string& page, std::string* value);

// Re-encodes `text` from UTF-8 to ISO-8859-1 through a file in a private temporary folder;
// on any failure `text` keeps its bytes.
bool ConvertPageToLatin1(std::string* text);

// Re-encodes a file in place between two character sets; on failure the file stays as it was.
bool ConvertFileCharset(const char* path, const char* fromCharset, const char* toCharset);

// A session with one adapter's JSON interface: a client session whose connection, cookies and
// credentials carry over between the requests, on port 443 with HTTPS or 80 without.
class ApiSession final
{
public:
    ApiSession(std::string address, bool useHttps, std::string user, std::string password, jwin::StopToken stop = {});

    [[nodiscard]] bool UseHttps() const { return useHttps_; }
    [[nodiscard]] const std::string& Address() const { return address_; }

private:
    friend bool SendApiRequest(ApiSession* session, const std::string& verb, const std::string& objectPath,
                               const std::string& body, long* status, std::string* responseBody);

    std::string address_;
    bool useHttps_;
    std::string user_;
    std::string password_;
    platform::HttpSession http_;
};

// One request on the session with the JSON content type. False when there is no session or no
// status arrived (no connection, broken transfer, TLS failure, stop); otherwise true with the
// status, and for status 200 the body with its line feeds removed.
bool SendApiRequest(ApiSession* session, const std::string& verb, const std::string& objectPath,
                    const std::string& body, long* status, std::string* responseBody);
