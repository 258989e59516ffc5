// The shipped networks of old TLS set-ups, redirects and unreachable hosts, searched by
// trawlix-scan inside a network namespace of the test's own: every adapter is listed, nothing is
// sent to a host a redirect points to, and --explain names the reason for every other address.
#include "net/http_client.h"
#include "probe/transfer_failure.h"
#include "testsupport/child_process.h"
#include "testsupport/private_network.h"
#include "testsupport/temp_folder.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <arpa/inet.h>
#include <chrono>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

// The simulator playing one shipped network, with its request log.
struct Network
{
    std::string logPath;
    std::unique_ptr<ChildProcess> sim;

    // Whether the simulator answered any request on `address` (its log: "ADDRESS METHOD TARGET STATUS").
    [[nodiscard]] bool Reached(const std::string& address) const
    {
        return ("\n" + testsupport::TempFolder::ReadFile(logPath)).find("\n" + address + " ") != std::string::npos;
    }
};

class ShippedNetworks : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder_ = new testsupport::TempFolder;
        for (const char* name : {"tls", "redirects", "reasons"}) {
            const std::string file = std::string(TRAWLIX_SIM_NETWORKS) + "/" + name + ".net";
            std::string failed;
            ASSERT_TRUE(testsupport::AddNetworkAddresses(testsupport::TempFolder::ReadFile(file), &failed)) << failed;
            Network& network = networks_[name];
            network.logPath = (folder_->Path() / (std::string(name) + ".log")).string();
            network.sim = std::make_unique<ChildProcess>(TRAWLIX_SIM_PATH,
                                                         std::vector<std::string>{file, "--log", network.logPath});
            ASSERT_TRUE(network.sim->WaitForOutput("ready", 30s)) << network.sim->Errors();
        }
    }
    static void TearDownTestSuite()
    {
        networks_.clear();
        delete folder_;
    }

    static testsupport::TempFolder* folder_;
    static std::map<std::string, Network> networks_;
};

testsupport::TempFolder* ShippedNetworks::folder_ = nullptr;
std::map<std::string, Network> ShippedNetworks::networks_;

struct ScanRun
{
    Json::Value rows;
    Json::Value reasons; // --explain with --format json
    std::string errors;
};

Json::Value ParseJson(const std::string& text)
{
    Json::Value root;
    std::string errors;
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &root, &errors)) << text;
    return root;
}

ScanRun ScanJson(std::vector<std::string> args)
{
    args.insert(args.begin(), {"--format", "json", "--lang", "en", "--no-default-address", "--explain"});
    ChildProcess scan(TRAWLIX_SCAN_PATH, args);
    EXPECT_TRUE(scan.Wait(240s));
    EXPECT_EQ(scan.ExitCode(), 0) << scan.Errors();
    return {ParseJson(scan.Output()), ParseJson(scan.Errors()), scan.Errors()};
}

std::map<std::string, Json::Value> ByIp(const Json::Value& array)
{
    std::map<std::string, Json::Value> out;
    for (const Json::Value& item : array)
        out[item["ip"].asString()] = item;
    return out;
}

// What a client with the system's TLS settings meets in the handshake (certificate checks off, as
// they must be for any adapter): empty when it gets through, else the TLS library's words.
std::string SystemDefaultsFailure(const std::string& address)
{
    CURL* curl = curl_easy_init();
    const std::string url = "https://" + address + "/api/system/info";
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    const CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return code == CURLE_OK ? std::string() : error[0] != '\0' ? std::string(error) : curl_easy_strerror(code);
}

constexpr const char* kNoSecureRenegotiation = "unsafe legacy renegotiation disabled";

TEST_F(ShippedNetworks, EveryTlsSetUpIsListed)
{
    struct SetUp
    {
        const char* ip;
        const char* location;
        bool systemDefaultsReach;
        const char* systemDefaultsMeet = ""; // part of the reason when they fail
    };
    // .12 and .13 are served through GnuTLS; with TLS 1.0 the system's defaults fail on the version.
    const SetUp setups[] = {
        {"192.168.80.1", "Modern", true},
        {"192.168.80.2", "TLS 1.0, RSA-1024, SHA-1", false},
        {"192.168.80.3", "TLS 1.1", false},
        {"192.168.80.4", "TLS 1.2", true},
        {"192.168.80.5", "TLS 1.3", true},
        {"192.168.80.6", "DHE 1024", false},
        {"192.168.80.7", "RSA key exchange", true},
        {"192.168.80.8", "ECDSA", true},
        {"192.168.80.9", "Expired", true},
        {"192.168.80.10", "Not yet valid", true},
        {"192.168.80.11", "Other name", true},
        {"192.168.80.12", "TLS 1.0 without secure renegotiation", false},
        {"192.168.80.13", "TLS 1.2 without secure renegotiation", false, kNoSecureRenegotiation},
    };
    const ScanRun run = ScanJson({"--update-server", "10.99.0.2", "--last", "13", "192.168.80.*"});
    const auto rows = ByIp(run.rows);
    EXPECT_EQ(rows.size(), std::size(setups)) << run.errors;
    for (const SetUp& setup : setups) {
        ASSERT_TRUE(rows.count(setup.ip)) << setup.location << "\n" << run.errors;
        EXPECT_EQ(rows.at(setup.ip)["location"].asString(), setup.location);
        EXPECT_EQ(rows.at(setup.ip)["updateText"].asString(), "Available (1.80)") << setup.location;
        // The simulator really presents what the set-up says: the old ones fail with the defaults.
        const std::string failure = SystemDefaultsFailure(setup.ip);
        EXPECT_EQ(failure.empty(), setup.systemDefaultsReach) << setup.location << ": " << failure;
        EXPECT_NE(failure.find(setup.systemDefaultsMeet), std::string::npos) << setup.location << ": " << failure;
    }
    EXPECT_EQ(run.errors.find("renegotiation"), std::string::npos) << run.errors;

    // Only adapter connections are relaxed: a request to a server keeps the system's settings.
    for (const char* ip : {"192.168.80.2", "192.168.80.13"}) {
        net::HttpSession session("Trawlix", {});
        net::HttpRequest request;
        request.url = "https://" + std::string(ip) + "/api/system/info";
        const net::HttpResponse strict = session.Perform(request);
        EXPECT_EQ(strict.failure, net::HttpFailure::TlsHandshake) << ip;
        EXPECT_FALSE(TlsReason(strict.failureText).empty()) << ip;
        request.peer = net::HttpPeer::Adapter;
        EXPECT_TRUE(session.Perform(request).Completed()) << ip;
    }
}

// Whether something accepts connections on the port of 127.0.0.1 within half a minute.
bool Accepts(int port)
{
    const auto limit = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < limit) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (connected)
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// The real gnutls-serv without secure renegotiation, beside the simulator's set-ups: an adapter
// connection gets through on TLS 1.0 and 1.2, a connection to a server keeps OpenSSL's refusal.
TEST(GnuTlsServer, WithoutSecureRenegotiationOnlyAdapterConnectionsGetThrough)
{
    testsupport::TempFolder folder;
    const std::string key = (folder.Path() / "key.pem").string();
    const std::string cert = (folder.Path() / "cert.pem").string();
    ChildProcess made("/usr/bin/openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                                           "/CN=adapter.invalid", "-keyout", key, "-out", cert});
    ASSERT_TRUE(made.Wait(60s));
    ASSERT_EQ(made.ExitCode(), 0) << made.Errors();
    int port = 4430;
    for (const char* version : {"TLS1.0", "TLS1.2"}) {
        ++port;
        ChildProcess server("/usr/bin/gnutls-serv",
                            {"--http", "--port", std::to_string(port), "--x509certfile", cert, "--x509keyfile", key,
                             "--priority",
                             std::string("NORMAL:-VERS-ALL:+VERS-") + version + ":%DISABLE_SAFE_RENEGOTIATION"});
        ASSERT_TRUE(Accepts(port)) << "gnutls-serv (gnutls-bin): " << server.Errors();
        net::HttpSession session("Trawlix", {});
        net::HttpRequest request;
        request.url = "https://127.0.0.1:" + std::to_string(port) + "/";
        const net::HttpResponse strict = session.Perform(request);
        EXPECT_EQ(strict.failure, net::HttpFailure::TlsHandshake) << version;
        if (std::string(version) == "TLS1.2") {
            EXPECT_NE(strict.failureText.find(kNoSecureRenegotiation), std::string::npos) << strict.failureText;
        }
        request.peer = net::HttpPeer::Adapter;
        const net::HttpResponse adapter = session.Perform(request);
        EXPECT_TRUE(adapter.Completed()) << version << ": " << adapter.failureText;
        EXPECT_EQ(adapter.status, 200) << version;
    }
}

TEST_F(ShippedNetworks, RedirectsAreFollowedOnTheSameHostOnly)
{
    const ScanRun run = ScanJson({"--update-server", "10.99.0.3", "--last", "20", "192.168.81.*"});
    const auto rows = ByIp(run.rows);
    std::vector<std::string> ips;
    for (const auto& [ip, row] : rows)
        ips.push_back(ip);
    EXPECT_EQ(ips, (std::vector<std::string>{"192.168.81.1", "192.168.81.10", "192.168.81.2", "192.168.81.3",
                                             "192.168.81.5"}))
        << run.errors;
    // The vendor's moved CGI answered through its redirect.
    for (const char* ip : {"192.168.81.1", "192.168.81.2", "192.168.81.3", "192.168.81.5"})
        EXPECT_EQ(rows.count(ip) ? rows.at(ip)["updateText"].asString() : "", "Available (4.30)") << ip;
    EXPECT_EQ(rows.count("192.168.81.10") ? rows.at("192.168.81.10")["updateText"].asString() : "", "Available (1.80)");

    const auto reasons = ByIp(run.reasons);
    ASSERT_TRUE(reasons.count("192.168.81.4")) << run.errors;
    EXPECT_EQ(reasons.at("192.168.81.4")["reason"].asString(), "redirect-refused");
    const Network& network = networks_.at("redirects");
    EXPECT_TRUE(network.Reached("192.168.81.4"));
    EXPECT_FALSE(network.Reached("192.168.81.200")) << "a redirect made the program talk to another host";
}

TEST_F(ShippedNetworks, ExplainNamesTheReasonOfEveryAddressNotListed)
{
    struct Reason
    {
        const char* ip;
        const char* key;
        const char* words; // part of the line the technician reads
    };
    const Reason reasons[] = {
        {"192.168.82.1", "refused", "connection refused on ports 80 and 443"},
        {"192.168.82.2", "tls-failed", "TLS handshake failed: sslv3 alert handshake failure"},
        {"192.168.82.3", "not-an-adapter", "HTTP 200 page without adapter data (hardware, firmware, MAC address"},
        {"192.168.82.4", "page-not-found", "\"file not found\" (HTTP 200)"},
        {"192.168.82.5", "login-failed", "the login answered HTTP 500"},
        {"192.168.82.6", "read-failed", "reading /api/system/info answered HTTP 403"},
        {"192.168.82.7", "unusable-document", "(/api/system/info) is unusable"},
        {"192.168.82.8", "too-large", "larger than 16 MiB"},
        {"192.168.82.9", "stalled", "stalled"},
        {"192.168.82.10", "timed-out", "took longer than 60 s"},
        {"192.168.82.11", "redirect-refused", "redirect to another host refused (http://192.168.82.200/net.shtml)"},
        {"192.168.82.12", "too-many-redirects", "too many redirects"},
        {"192.168.82.13", "broken", "broke off"},
        {"192.168.82.14", "tls-failed", "no answer to the TLS handshake"},
    };
    const std::vector<std::string> args = {"--no-default-address", "--explain", "--no-progress", "--last", "20",
                                           "192.168.82.*"};
    // Both forms at once: the slowest hosts take a minute.
    ChildProcess text(TRAWLIX_SCAN_PATH, args);
    std::vector<std::string> jsonArgs = args;
    jsonArgs.insert(jsonArgs.begin(), {"--format", "json"});
    ChildProcess json(TRAWLIX_SCAN_PATH, jsonArgs);
    ASSERT_TRUE(text.Wait(240s));
    ASSERT_TRUE(json.Wait(240s));
    EXPECT_EQ(text.ExitCode(), 0);
    EXPECT_EQ(json.ExitCode(), 0);
    EXPECT_EQ(ParseJson(json.Output()), Json::Value(Json::arrayValue)); // standard output stays the list

    std::map<std::string, std::string> lines;
    std::istringstream stream(text.Errors());
    for (std::string line; std::getline(stream, line);) {
        const auto colon = line.find(": ");
        lines[colon == std::string::npos ? line : line.substr(0, colon)] = line;
    }
    const auto keys = ByIp(ParseJson(json.Errors()));
    for (const Reason& reason : reasons) {
        ASSERT_TRUE(lines.count(reason.ip)) << reason.ip << "\n" << text.Errors();
        EXPECT_NE(lines.at(reason.ip).find(reason.words), std::string::npos) << lines.at(reason.ip);
        ASSERT_TRUE(keys.count(reason.ip)) << reason.ip;
        EXPECT_EQ(keys.at(reason.ip)["reason"].asString(), reason.key) << reason.ip;
        EXPECT_EQ(keys.at(reason.ip)["detail"].asString(),
                  lines.at(reason.ip).substr(std::string(reason.ip).size() + 2));
    }
    // The six addresses without any host are counted, not named.
    EXPECT_EQ(lines.count("192.168.82.15"), 0u);
    EXPECT_TRUE(lines.count("6 addresses did not answer at all")) << text.Errors();
    EXPECT_EQ(keys.size(), std::size(reasons) + 6);
    EXPECT_EQ(keys.count("192.168.82.20") ? keys.at("192.168.82.20")["reason"].asString() : "", "silent");
    EXPECT_FALSE(networks_.at("reasons").Reached("192.168.82.200"));
}

} // namespace
