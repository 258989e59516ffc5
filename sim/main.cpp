// trawlix-sim: plays legacy adapters, LX400 adapters, misbehaving hosts and the vendor's update
// server on given addresses, for the demo and the tests. Run it only on loopback or inside a
// private network namespace.
#include "sim/network_file.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <random>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<bool> g_stopping{false};

// Request log for tests: one line per answered request, "ADDRESS METHOD PATH STATUS".
std::mutex g_logMutex;
std::FILE* g_log = nullptr;

// Sessions the simulated LX400 adapters handed out at login.
std::mutex g_sessionMutex;
std::set<std::string> g_sessions;

constexpr const char* kNotFoundPage = "<html><body><h1>404 File Not Found</h1></body></html>\n";

std::string VersionText(const std::string& compact)
{
    // "426" -> "4.26": the vendor page states versions the way adapters show them.
    if (compact.size() < 2)
        return compact;
    return compact.substr(0, compact.size() - 2) + "." + compact.substr(compact.size() - 2);
}

std::string NewSessionToken()
{
    static std::mutex mutex;
    static std::mt19937_64 generator{std::random_device{}()};
    std::lock_guard lock(mutex);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(generator()));
    return text;
}

bool HasSession(const httplib::Request& request)
{
    const std::string cookies = request.get_header_value("Cookie");
    std::lock_guard lock(g_sessionMutex);
    for (const std::string& token : g_sessions) {
        if (cookies.find("LX400SESSION=" + token) != std::string::npos)
            return true;
    }
    return false;
}

template <class Server> void Prepare(Server& server, const std::string& address)
{
    // A few threads per address are plenty; hundreds of simulated hosts stay cheap.
    server.new_task_queue = [] { return new httplib::ThreadPool(4); };
    server.set_read_timeout(5, 0);
    server.set_write_timeout(5, 0);
    server.set_keep_alive_max_count(10);
    server.set_logger([address](const httplib::Request& request, const httplib::Response& response) {
        if (g_log == nullptr)
            return;
        std::lock_guard lock(g_logMutex);
        std::fprintf(g_log, "%s %s %s %d\n", address.c_str(), request.method.c_str(), request.target.c_str(),
                     response.status);
        std::fflush(g_log);
    });
}

void ServeLegacy(httplib::Server& server, const sim::LegacyAdapter& adapter)
{
    const std::string page = sim::StatusPage(adapter);
    server.Get("/net.shtml",
               [page](const httplib::Request&, httplib::Response& res) { res.set_content(page, "text/html"); });
    server.set_error_handler(
        [](const httplib::Request&, httplib::Response& res) { res.set_content(kNotFoundPage, "text/html"); });
}

void ServeLx400(httplib::Server& server, const sim::Lx400Adapter& adapter)
{
    server.Post("/api/login", [adapter](const httplib::Request& req, httplib::Response& res) {
        // The adapter compares the members it finds; a body that is not JSON fails the login.
        auto member = [&req](const std::string& name) -> std::optional<std::string> {
            const std::string key = "\"" + name + "\":\"";
            const auto at = req.body.find(key);
            if (at == std::string::npos)
                return std::nullopt;
            std::string value;
            for (std::size_t i = at + key.size(); i < req.body.size(); ++i) {
                if (req.body[i] == '\\' && i + 1 < req.body.size()) {
                    value += req.body[++i];
                    continue;
                }
                if (req.body[i] == '"')
                    return value;
                value += req.body[i];
            }
            return std::nullopt;
        };
        const auto user = member("userName");
        const auto password = member("password");
        if (!user || !password) {
            res.status = 400;
            res.set_content("{\"error\":\"bad request\"}", "application/json");
            return;
        }
        if (*user != adapter.user || *password != adapter.password) {
            res.status = 401;
            res.set_content("{\"error\":\"unauthorized\"}", "application/json");
            return;
        }
        const std::string token = NewSessionToken();
        {
            std::lock_guard lock(g_sessionMutex);
            g_sessions.insert(token);
        }
        res.set_header("Set-Cookie", "LX400SESSION=" + token + "; Path=/; HttpOnly");
        res.set_content("{\"result\":\"ok\"}\n", "application/json");
    });
    auto document = [](std::string body) {
        return [body](const httplib::Request& req, httplib::Response& res) {
            if (!HasSession(req)) {
                res.status = 401;
                res.set_content("{\"error\":\"unauthorized\"}", "application/json");
                return;
            }
            res.set_content(body, "application/json");
        };
    };
    server.Get("/api/system/info", document(sim::SystemInfoDocument(adapter)));
    server.Get("/api/system/network/config", document(sim::NetworkConfigDocument(adapter)));
    server.set_error_handler(
        [](const httplib::Request&, httplib::Response& res) { res.set_content(kNotFoundPage, "text/html"); });
}

void ServeHostile(httplib::Server& server, const std::string& kind)
{
    if (kind == "trickle") {
        server.Get(".*", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/html", [](std::size_t, httplib::DataSink& sink) {
                for (int i = 0; i < 10 && !g_stopping.load(); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                return !g_stopping.load() && sink.write("<", 1);
            });
        });
    } else if (kind == "huge") {
        constexpr std::size_t kSize = std::size_t{64} * 1024 * 1024;
        server.Get(".*", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(
                kSize, "text/html", [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                    static const std::string block(64 * 1024, 'x');
                    (void)offset;
                    return !g_stopping.load() && sink.write(block.data(), std::min(length, block.size()));
                });
        });
    } else if (kind == "bad-utf8") {
        sim::LegacyAdapter adapter;
        adapter.form = sim::LabelForm::PlainWidth;
        adapter.charset = "utf-8";
        adapter.hardware = "LX300";
        adapter.firmware = "LX200 v 4.30.16";
        adapter.mac = "00:0A:9C:BA:D0:01";
        adapter.location = "Lager \xC3\x28\xA0\xFF";
        ServeLegacy(server, adapter);
    } else if (kind == "router") {
        server.Get(".*", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><head><title>Router</title></head><body>Welcome to your router</body></html>",
                            "text/html");
        });
    } else if (kind == "error404" || kind == "error500") {
        const int status = kind == "error404" ? 404 : 500;
        server.Get(".*", [status](const httplib::Request&, httplib::Response& res) {
            res.status = status;
            res.set_content("<html><body><h1>Error " + std::to_string(status) + "</h1></body></html>", "text/html");
        });
    } else if (kind == "notfound") {
        server.Get(".*", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><body>Sorry: file not found.</body></html>", "text/html");
        });
    } else if (kind == "nested-json" || kind == "malformed-json") {
        const std::string body =
            kind == "nested-json" ? std::string(100000, '[') : std::string("{\"name\": \"LX400\", [");
        server.Post("/api/login",
                    [](const httplib::Request&, httplib::Response& res) { res.set_content("{}", "application/json"); });
        server.Get("/api/.*", [body](const httplib::Request&, httplib::Response& res) {
            res.set_content(body, "application/json");
        });
        server.set_error_handler(
            [](const httplib::Request&, httplib::Response& res) { res.set_content(kNotFoundPage, "text/html"); });
    }
}

// A host that completes the TCP handshake (the kernel does that from the listen queue) and then
// never reads or answers.
int SilentListener(const std::string& address, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<std::uint16_t>(port));
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (fd < 0 || ::inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || ::listen(fd, 128) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

// A self-signed certificate made for a name no adapter address matches, as adapters have.
bool MakeCertificate(const std::filesystem::path& folder)
{
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=adapter.invalid -keyout '" +
        (folder / "key.pem").string() + "' -out '" + (folder / "cert.pem").string() + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

struct Listener
{
    std::unique_ptr<httplib::Server> server;
    std::string address;
    int port = 80;
};

} // namespace

int main(int argc, char** argv)
{
    std::string file;
    std::string logPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--log" && i + 1 < argc)
            logPath = argv[++i];
        else if (file.empty() && !arg.empty() && arg[0] != '-')
            file = arg;
        else
            file.clear(), i = argc;
    }
    if (file.empty()) {
        std::fprintf(stderr, "usage: trawlix-sim NETWORK-FILE [--log FILE]\n"
                             "  --log FILE  append one line per request: ADDRESS METHOD PATH STATUS\n");
        return 2;
    }
    std::string error;
    const auto network = sim::ReadNetworkFile(file, error);
    if (!network) {
        std::fprintf(stderr, "trawlix-sim: %s\n", error.c_str());
        return 2;
    }
    if (!logPath.empty()) {
        g_log = std::fopen(logPath.c_str(), "a");
        if (g_log == nullptr) {
            std::fprintf(stderr, "trawlix-sim: cannot write %s\n", logPath.c_str());
            return 2;
        }
    }
    signal(SIGPIPE, SIG_IGN);

    std::filesystem::path certFolder;
    bool anyHttps = false;
    for (const auto& adapter : network->lx400)
        anyHttps = anyHttps || adapter.https;
    if (anyHttps) {
        char templ[] = "/tmp/trawlix-sim-XXXXXX";
        if (::mkdtemp(templ) == nullptr || !MakeCertificate(templ)) {
            std::fprintf(stderr, "trawlix-sim: cannot make a certificate (is openssl installed?)\n");
            return 1;
        }
        certFolder = templ;
    }

    std::vector<Listener> listeners;
    auto add = [&listeners](std::unique_ptr<httplib::Server> server, const std::string& address, int port) {
        Prepare(*server, address);
        listeners.push_back(Listener{std::move(server), address, port});
    };
    for (const auto& adapter : network->adapters) {
        auto server = std::make_unique<httplib::Server>();
        ServeLegacy(*server, adapter);
        add(std::move(server), adapter.address, 80);
    }
    for (const auto& adapter : network->lx400) {
        std::unique_ptr<httplib::Server> server;
        if (adapter.https)
            server = std::make_unique<httplib::SSLServer>((certFolder / "cert.pem").c_str(),
                                                          (certFolder / "key.pem").c_str());
        else
            server = std::make_unique<httplib::Server>();
        ServeLx400(*server, adapter);
        // The adapter's own status page is not there; the legacy probe finds nothing and moves on.
        add(std::move(server), adapter.address, adapter.https ? 443 : 80);
    }
    std::vector<int> silentFds;
    for (const auto& host : network->hostile) {
        if (host.kind == "silent") {
            for (const int port : {80, 443}) {
                const int fd = SilentListener(host.address, port);
                if (fd < 0) {
                    std::fprintf(stderr, "trawlix-sim: cannot listen on %s:%d\n", host.address.c_str(), port);
                    return 1;
                }
                silentFds.push_back(fd);
            }
            continue;
        }
        auto server = std::make_unique<httplib::Server>();
        ServeHostile(*server, host.kind);
        add(std::move(server), host.address, 80);
    }
    if (!network->vendorAddress.empty()) {
        auto server = std::make_unique<httplib::Server>();
        const auto latest = network->latest;
        server->Get("/cgi-bin/kvt_update.cgi", [latest](const httplib::Request& req, httplib::Response& res) {
            const std::string ver = req.get_param_value("ver");
            const std::string key = req.get_param_value("dev") + "/" + req.get_param_value("oem");
            const auto it = latest.find(key);
            if (it == latest.end()) {
                res.set_content("<html><body>FILE NOT FOUND</body></html>\n", "text/html");
                return;
            }
            res.set_content("<html><body><table>\n"
                            "<tr><td><b>Your version:</b></td><td class=\"mainb\">" +
                                VersionText(ver) +
                                "</td></tr>\n"
                                "<tr><td><b>Latest version:</b></td><td class=\"mainb\">" +
                                it->second + "</td></tr>\n</table></body></html>\n",
                            "text/html");
        });
        add(std::move(server), network->vendorAddress, network->vendorPort);
    }
    for (Listener& listener : listeners) {
        if (!listener.server->bind_to_port(listener.address, listener.port)) {
            std::fprintf(stderr, "trawlix-sim: cannot listen on %s:%d\n", listener.address.c_str(), listener.port);
            return 1;
        }
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::vector<std::thread> threads;
    for (Listener& listener : listeners)
        threads.emplace_back([&listener] { listener.server->listen_after_bind(); });
    std::printf("trawlix-sim: %zu legacy, %zu LX400, %zu misbehaving hosts%s ready\n", network->adapters.size(),
                network->lx400.size(), network->hostile.size(),
                network->vendorAddress.empty() ? "" : " and the vendor server");
    std::fflush(stdout);

    int signal = 0;
    sigwait(&signals, &signal);
    g_stopping = true;
    for (Listener& listener : listeners)
        listener.server->stop();
    for (auto& thread : threads)
        thread.join();
    for (const int fd : silentFds)
        ::close(fd);
    if (!certFolder.empty())
        std::filesystem::remove_all(certFolder);
    return 0;
}
