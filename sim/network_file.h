#pragma once

// The network description that trawlix-sim plays. One entry per line, '#' starts a comment line,
// blank lines are skipped. FIELDS is a list of key=value pairs separated by '|'; a value runs to
// the next '|' and keeps its blanks and any HTML in it (a value such as "<b>LX300</b>" gives a
// value cell that starts with a tag). Every address is a dotted IPv4 address; one address may
// carry several entries as long as their ports differ.
//
//   legacy ADDRESS FORM [FIELDS]                                         port 80
//       FORM: plain | plain-width | script | script-width (how the page writes its labels)
//       hardware, firmware, mac, manufacturer, location   the five values (raw bytes of the file)
//       charset=TEXT     adds <meta http-equiv="Content-Type" content="text/html; charset=TEXT">;
//                        TEXT is written as it stands, so charset="utf-8" gives the quoted form
//       page=status|router|not-found|error
//                        status: the adapter's status table (default); router: a start page
//                        without any label, on every path; not-found: an error page with the
//                        words "File not found"; error: an error page without them
//       status=CODE      HTTP status of the answer (default 200, not-found 404, error 500)
//       omit=NAME,...    leaves out the rows of these values (hardware ... location)
//       extra=HTML       raw HTML written behind the table (a second table in another form)
//       delay=MS         waits that long before answering
//       moved=TARGET     "/net.shtml" answers a redirect to TARGET (written as it stands into the
//                        Location header): a path, or http://HOST[:PORT]/PATH or https://...
//                        When TARGET is on the adapter's own address (a path is), the status page
//                        is served there, over TLS on 443 (or the given port) for https; a TARGET
//                        equal to "/net.shtml" redirects for ever. Another host gets nothing.
//       redirect=CODE    status of that redirect: 301 (default), 302, 303, 307 or 308
//       tls=SETUP        the TLS set-up of a page served over https (see below)
//   lx400 ADDRESS https|http [FIELDS]              https: TLS on 443, http: plain on 80
//       name, version, manufacturer, location   members of /api/system/info
//                        (defaults LX400, V1.20.0, empty, empty)
//       mac              member "mac" of "ipv4" in /api/system/network/config (default empty);
//       topmac           its top-level "mac" (default left out);
//       ipv4             the "ipv4" member itself (default: the object holding "mac")
//                        Member values: "null" gives JSON null, "~" leaves the member out,
//                        "@array", "@number", "@true", "@object" give such a value in place of
//                        the text; "@=TEXT" stands for TEXT itself (for a text "null" or "~").
//                        An empty value gives the empty string.
//       user, password   the credentials the login accepts (default admin / lx400-dflt)
//       login=strict|any any: every login body that is JSON is accepted
//       loginbody=ok|malformed   the body of a successful login
//       info=SHAPE       normal (default) | not-object (the object inside an array) | array-member
//                        ("name" is an array) | malformed (cut off) | empty | scalar | nested
//       config=SHAPE     the same shapes but array-member
//       depth=N          nesting depth of the nested shape, in '[' characters (default 100000)
//       delay=MS         waits that long before answering
//       fail=STEP:CODE   the step (login, info or config) answers CODE with a short JSON error
//       tls=SETUP        the TLS set-up of the https adapter, one of
//           other-name     (default) a P-256 key, certificate self-signed for "adapter.invalid",
//                          the TLS library's defaults (TLS 1.2 and 1.3)
//           modern         RSA-2048 and SHA-256, self-signed for the adapter's own address,
//                          TLS 1.2 and 1.3
//           tls1.0         TLS 1.0 only, an RSA-1024 certificate signed with SHA-1
//           tls1.1, tls1.2, tls1.3   that version only (certificate as modern)
//           dhe1024        TLS 1.2, only DHE key exchange, with a 1024-bit group
//           rsa-kx         TLS 1.2, only RSA key exchange
//           ecdsa          a P-256 key, certificate for the adapter's own address
//           expired        as modern, the certificate expired a year ago
//           not-yet-valid  as modern, the certificate is valid from next year on
//           client-cert    TLS 1.2, asks for a client certificate and ends a handshake without one
//           tls1.0-no-reneg, tls1.2-no-reneg   that version only, without secure renegotiation
//                          (RFC 5746): the server never sends the renegotiation_info extension,
//                          whatever the client offers, as embedded stacks of the LX400's
//                          generation do; served through GnuTLS (certificate as modern)
//   host ADDRESS KIND [ARGS]                       a misbehaving host; KIND is one of
//       silent [PORT,...]        accepts TCP connections (default ports 80 and 443), never reads
//                                and never writes
//       trickle [SECONDS]        port 80: reads the request, answers a status line and headers,
//                                then one byte of body every SECONDS (default 1, fractions allowed)
//                                for as long as the client stays
//       huge [BYTES]             a page of BYTES (default 64 MiB) on every path of port 80,
//                                streamed in blocks, never held whole
//       hangup                   port 80: reads the request and closes the connection without a word
//       bad-utf8                 a legacy status page that declares charset=utf-8 and holds bytes
//                                that are not UTF-8
//       router                   a router's start page on every path, no labels
//       error404, error500       an error page with that status, without the not-found words
//       notfound                 a page with status 200 that says "File not found"
//       nested-json [http|https] [DEPTH]   an LX400 (default http) that accepts any login and
//                                answers both documents with DEPTH '[' (default 100000)
//       malformed-json [http|https]        an LX400 (default http) that accepts any login and
//                                answers login and documents with JSON that does not parse
//   vendor ADDRESS[:PORT] [moved=TARGET]          the vendor's update CGI, default port 80:
//       GET /cgi-bin/kvt_update.cgi?ver=COMPACT&oem=OEM&dev=DEV. The values are URL-decoded, so a
//       model name with a blank arrives as "dev=LX400+Pro" or "dev=LX400%20Pro"; a raw blank in the
//       request target splits the request line, and the server answers 400 Bad Request.
//       moved=TARGET: the CGI answers 302 to TARGET with the request's query; a TARGET that is a
//       path is served as the CGI as well.
//       GET /__sim/stats answers the counters (see trawlix-sim --help).
//   latest DEV OEM VERSION                         DEV may contain blanks: it is everything between
//       "latest" and the last two words. OEM "-" stands for an empty OEM number, "*" for any.
//       A device/OEM pair without a line gets a "FILE NOT FOUND" page.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// How a simulated legacy adapter writes its labels: with a non-breaking-space entity or through
// the page script, each with or without the width attribute on the value cell.
enum class LabelForm { Plain, PlainWidth, Script, ScriptWidth };

enum class PageKind { Status, Router, NotFound, Error };

// The TLS set-ups an https host can present (see the list above).
enum class TlsSetup {
    OtherName,
    Modern,
    Tls10,
    Tls11,
    Tls12,
    Tls13,
    Dhe1024,
    RsaKeyExchange,
    Ecdsa,
    Expired,
    NotYetValid,
    ClientCertificate,
    Tls10NoRenegotiation,
    Tls12NoRenegotiation
};
[[nodiscard]] std::optional<TlsSetup> ParseTlsSetup(const std::string& name);
[[nodiscard]] const char* TlsSetupName(TlsSetup setup);

// Where a moved status page went: the Location text as written and, when it stays on the
// adapter's own address, the place the page is served at.
struct MovedPage
{
    std::string location;
    bool ownHost = false;
    bool https = false;
    int port = 80;
    std::string path;
};

struct LegacyAdapter
{
    std::string address;
    LabelForm form = LabelForm::PlainWidth;
    std::string hardware;
    std::string firmware;
    std::string mac;
    std::string manufacturer;
    std::string location;
    std::string charset;
    PageKind page = PageKind::Status;
    int status = 200;
    std::vector<std::string> omit;
    std::string extra;
    int delayMs = 0;
    std::optional<MovedPage> moved;
    int redirectStatus = 301;
    TlsSetup tls = TlsSetup::OtherName;
};

// One member of an LX400 document: a string, another JSON value, or left out.
struct JsonMember
{
    enum class Kind { Text, Null, Missing, Array, Number, True, Object };
    Kind kind = Kind::Text;
    std::string text;
};

enum class DocumentShape { Object, Unparsable, Empty, Array, Scalar, Nested };

struct Lx400Adapter
{
    std::string address;
    bool https = true;
    JsonMember name{JsonMember::Kind::Text, "LX400"};
    JsonMember version{JsonMember::Kind::Text, "V1.20.0"};
    JsonMember manufacturer{JsonMember::Kind::Text, ""};
    JsonMember location{JsonMember::Kind::Text, ""};
    JsonMember mac{JsonMember::Kind::Text, ""};
    JsonMember topMac{JsonMember::Kind::Missing, ""};
    // Kind::Object here is the regular "ipv4" object that holds "mac".
    JsonMember ipv4{JsonMember::Kind::Object, ""};
    std::string user = "admin";
    std::string password = "lx400-dflt";
    bool anyLogin = false;
    bool malformedLoginBody = false;
    DocumentShape info = DocumentShape::Object;
    DocumentShape config = DocumentShape::Object;
    int depth = 100000;
    int delayMs = 0;
    // "login", "info" or "config" -> the status that step answers instead.
    std::map<std::string, int> fail;
    TlsSetup tls = TlsSetup::OtherName;

    [[nodiscard]] int Port() const { return https ? 443 : 80; }
};

struct BigPageHost
{
    std::string address;
    std::uint64_t size = 64ull * 1024 * 1024;
};

// Hosts served without an HTTP library: they must hold connections without holding a thread each.
struct RawHost
{
    enum class Mode { Silent, Trickle, Hangup };
    Mode mode = Mode::Silent;
    std::string address;
    std::vector<int> ports;
    int intervalMs = 1000;
};

struct Network
{
    std::vector<LegacyAdapter> adapters;
    std::vector<Lx400Adapter> lx400;
    std::vector<BigPageHost> bigPages;
    std::vector<RawHost> rawHosts;
    // How many lines of each family the description has ("host" lines put their hosts into the
    // lists above as well).
    std::size_t legacyLines = 0;
    std::size_t lx400Lines = 0;
    std::size_t hostLines = 0;
    std::string vendorAddress;
    int vendorPort = 80;
    // Where the vendor's CGI sends its callers (empty: it answers itself).
    std::string vendorMoved;
    // "dev/oem" -> the newest version the vendor offers; oem "*" matches any.
    std::map<std::string, std::string> latest;
};

// Reads a network description (format above). Nullopt with a reason naming the line on any error.
[[nodiscard]] std::optional<Network> ReadNetworkFile(const std::string& path, std::string& error);
[[nodiscard]] std::optional<Network> ParseNetwork(const std::string& text, std::string& error);

} // namespace sim
