#pragma once

#include "net/http_client.h"
#include "support/text/ipv4.h"
#include "support/threads/stop_token.h"

#include <cstdint>

#include <memory>
#include <string>

// The program's HTTP access: one page GET for the legacy status page and the vendor's update
// page, label cutting on such pages, and sessions for the LX400 JSON interface.

// Name the program introduces itself with to adapters and the vendor's server.
inline constexpr const char* kUserAgent = "Trawlix";

// What a request of the program's HTTP access came to, beside its result: the status of the final
// answer, and for a failed transfer why it failed and where (the URL asked first and the one that
// failed, which differ after a redirect).
struct TransferReport
{
    long status = 0;
    net::HttpFailure failure = net::HttpFailure::None;
    std::string failureText;
    std::string requestedUrl;
    std::string url;
};

struct FetchReport : TransferReport
{
    bool notFoundPage = false; // a page arrived and said "file not found"
};

// Whom a page is fetched from, and the stop flag of the job that fetches it.
struct FetchOptions
{
    jwin::StopToken stop;
    net::HttpPeer peer = net::HttpPeer::Server;
};

// GET of "http://" + host + "/" + path, following redirects on the same host. The body is read
// whatever the status; a page that contains "FILE NOT FOUND" in any letter case counts as not
// found. Pages that declare UTF-8 are re-encoded to ISO-8859-1 when every character fits. Appends
// to `page`; false when `page` is null, the transfer failed, was stopped, or the page was not
// found. This form fetches from a server with the system's TLS settings.
bool FetchPage(const std::string& host, const std::string& path, std::string* page, jwin::StopToken stop = {});
// The same for any peer; `report`, when given, says what happened.
bool FetchPage(const std::string& host, const std::string& path, std::string* page, const FetchOptions& options,
               FetchReport* report);

// Cuts the text behind the first occurrence of `label` up to the next '<' (or NUL, or the end).
// False when the label does not occur or its first occurrence starts the page; `value` is
// replaced only by a non-empty text.
bool ExtractLabelValue(const std::string& label, const std::string& page, std::string* value);

// Re-encodes `text` from UTF-8 to ISO-8859-1 through a file in a private temporary folder;
// false, with `text` keeping its bytes, when any step fails (reading the result back included).
bool ConvertPageToLatin1(std::string* text);

// Re-encodes a file in place between two character sets; on failure the file stays as it was.
bool ConvertFileCharset(const char* path, const char* fromCharset, const char* toCharset);

// The host part of a URL for `address` on `port`: the port is written only when it is not the
// scheme's own (80 for HTTP, 443 for HTTPS), so the usual ports give the usual URLs.
[[nodiscard]] std::string UrlHost(Ipv4Address address, std::uint16_t port, bool https);

// A session with one adapter's JSON interface: a client session whose connection, cookies and
// credentials carry over between the requests, on `port` (443 with HTTPS or 80 without, for the
// adapters), with the TLS settings of adapter connections.
class ApiSession final
{
public:
    ApiSession(Ipv4Address address, std::uint16_t port, bool useHttps, std::string user, std::string password,
               jwin::StopToken stop = {});

    [[nodiscard]] bool UseHttps() const { return useHttps_; }
    // What the last request came to.
    [[nodiscard]] const TransferReport& LastReport() const { return last_; }

private:
    friend bool SendApiRequest(ApiSession* session, const std::string& verb, const std::string& objectPath,
                               const std::string& body, long* status, std::string* responseBody);

    std::string host_; // address and port as the URL names them
    bool useHttps_;
    std::string user_;
    std::string password_;
    net::HttpSession http_;
    TransferReport last_;
};

// One request on the session with the JSON content type. False when there is no session or no
// status arrived (no connection, broken transfer, TLS failure, stop); otherwise true with the
// status, and for status 200 the body with its line feeds removed.
bool SendApiRequest(ApiSession* session, const std::string& verb, const std::string& objectPath,
                    const std::string& body, long* status, std::string* responseBody);
