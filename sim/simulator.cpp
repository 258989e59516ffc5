#include "sim/simulator.h"

#include "sim/content.h"
#include "sim/gnutls_server.h"
#include "sim/lx400_auth.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace sim {

namespace {

// Simulated adapters are small devices; the vendor server takes the ten probe jobs of a search at
// once. Each accepted connection waits in the queue until a worker is free.
constexpr int kAdapterThreads = 4;
constexpr int kVendorThreads = 12;
constexpr std::size_t kBlock = 64 * 1024;

// Counts a connection from the moment it is accepted until its socket is closed.
class CountingQueue final : public httplib::TaskQueue
{
public:
    CountingQueue(std::size_t threads, Stats& stats, Stats::Host& host) : pool_(threads), stats_(stats), host_(host) {}

    void enqueue(std::function<void()> fn) override
    {
        stats_.Opened(host_);
        pool_.enqueue([this, fn = std::move(fn)] {
            fn();
            stats_.Closed(host_);
        });
    }
    void shutdown() override { pool_.shutdown(); }

private:
    httplib::ThreadPool pool_;
    Stats& stats_;
    Stats::Host& host_;
};

// What an adapter's web server answers for a path it does not have.
constexpr const char* kNotFoundPage = "<html><body><h1>404 File Not Found</h1></body></html>\n";

void Json(httplib::Response& res, int status, const std::string& body)
{
    res.status = status;
    res.set_content(body, "application/json");
}

void Redirect(httplib::Response& res, int status, const std::string& location)
{
    res.status = status;
    res.set_header("Location", location);
    res.set_content("<html><body>Moved to <a href=\"" + location + "\">here</a>.</body></html>\n", "text/html");
}

// A path as a route pattern that matches only itself.
std::string Literal(const std::string& path)
{
    std::string pattern;
    for (const char c : path) {
        if (std::strchr(".^$|()[]{}*+?\\", c) != nullptr)
            pattern += '\\';
        pattern += c;
    }
    return pattern;
}

// The query of a request target, with its '?', or nothing.
std::string QueryOf(const std::string& target)
{
    const auto mark = target.find('?');
    return mark == std::string::npos ? std::string() : target.substr(mark);
}

} // namespace

struct Simulator::Served
{
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    std::atomic<bool> done{false};
};

bool StopSignal::Sleep(int ms)
{
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopped_; });
}

bool StopSignal::Stopped() const
{
    const std::lock_guard lock(mutex_);
    return stopped_;
}

void StopSignal::Stop()
{
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
}

Simulator::Simulator(Network network) : network_(std::move(network)) {}

Simulator::~Simulator()
{
    Stop();
    if (log_ != nullptr)
        std::fclose(log_);
}

bool Simulator::OpenLog(const std::string& path, std::string& error)
{
    log_ = std::fopen(path.c_str(), "a");
    if (log_ == nullptr)
        error = "cannot write " + path + ": " + std::strerror(errno);
    return log_ != nullptr;
}

std::unique_ptr<httplib::Server> Simulator::MakeServer(const std::string& address, const TlsSetup* tls, int threads,
                                                       std::string& error)
{
    std::unique_ptr<httplib::Server> server;
    if (tls != nullptr && TlsSetups::GnuTlsPriority(*tls) != nullptr) {
        std::string certificate, key;
        if (!tls_.Pem(*tls, address, certificate, key, error))
            return nullptr;
        server = MakeGnuTlsServer(TlsSetups::GnuTlsPriority(*tls), certificate, key, error);
        if (!server) {
            error = std::string("TLS set-up ") + TlsSetupName(*tls) + " for " + address + ": " + error;
            return nullptr;
        }
    } else if (tls != nullptr) {
        const TlsSetup setup = *tls;
        std::string why;
        server = std::make_unique<httplib::SSLServer>(
            [this, setup, &address, &why](SSL_CTX& context) { return tls_.Configure(context, setup, address, why); });
        if (!why.empty()) {
            error = why;
            return nullptr;
        }
    } else {
        server = std::make_unique<httplib::Server>();
    }
    if (!server->is_valid()) {
        error = "cannot set up the server for " + address;
        return nullptr;
    }
    Stats::Host& host = stats_.For(address);
    Stats* stats = &stats_;
    server->new_task_queue = [stats, &host, threads] {
        return new CountingQueue(static_cast<std::size_t>(threads), *stats, host);
    };
    // Short time-outs bound how long an idle or stalled client holds a worker, and how long the
    // simulator needs to shut down.
    server->set_keep_alive_max_count(20);
    server->set_keep_alive_timeout(2);
    server->set_read_timeout(5, 0);
    server->set_write_timeout(5, 0);
    server->set_payload_max_length(64 * 1024);
    server->set_pre_routing_handler([stats, &host](const httplib::Request& req, httplib::Response&) {
        if (req.path.rfind("/__sim/", 0) != 0)
            stats->Requested(host, req.path);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Only answers without a body of their own get the not-found page (the 401 of the API keeps
    // its JSON, an error page its text).
    server->set_error_handler(httplib::Server::Handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty() && res.status == 404)
            res.set_content(kNotFoundPage, "text/html");
    }));
    // The library closes an HTTP/1.0 connection after the answer but still announces Keep-Alive;
    // clients that believe it reuse a dead connection. Say what really happens.
    server->set_post_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        std::string asked = req.get_header_value("Connection");
        std::transform(asked.begin(), asked.end(), asked.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (req.version == "HTTP/1.0" && asked != "keep-alive")
            res.set_header("Connection", "close");
    });
    server->set_logger([this, address](const httplib::Request& req, const httplib::Response& res) {
        if (log_ == nullptr || req.path.rfind("/__sim/", 0) == 0)
            return;
        const std::lock_guard lock(logMutex_);
        std::fprintf(log_, "%s %s %s %d\n", address.c_str(), req.method.c_str(), req.target.c_str(), res.status);
        std::fflush(log_);
    });
    return server;
}

bool Simulator::Listen(std::unique_ptr<httplib::Server> server, const std::string& address, int port, const char* kind,
                       std::string& error)
{
    errno = 0;
    if (!server->bind_to_port(address, port)) {
        error = "cannot listen on " + address + ":" + std::to_string(port) +
                (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string());
        return false;
    }
    auto served = std::make_unique<Served>();
    served->server = std::move(server);
    served_.push_back(std::move(served));
    listeners_.push_back(address + ":" + std::to_string(port) + " " + kind);
    return true;
}

void Simulator::AddLegacy(httplib::Server& server, const LegacyAdapter& adapter, const std::string& path)
{
    const Answer answer = LegacyAnswer(adapter);
    // A router answers every path with its start page; an adapter only knows its status page.
    const std::string pattern = adapter.page == PageKind::Router ? ".*" : Literal(path);
    server.Get(pattern, [this, answer, delay = adapter.delayMs](const httplib::Request&, httplib::Response& res) {
        if (delay > 0 && !stop_.Sleep(delay)) {
            res.status = 503;
            return;
        }
        res.status = answer.status;
        res.set_content(answer.body, "text/html");
    });
}

void Simulator::AddLx400(httplib::Server& server, const Lx400Adapter& adapter)
{
    auto sessions = std::make_shared<SessionStore>();
    const auto info = std::make_shared<const std::string>(SystemInfoDocument(adapter));
    const auto config = std::make_shared<const std::string>(NetworkConfigDocument(adapter));
    auto delayed = [this, delay = adapter.delayMs] { return delay > 0 && !stop_.Sleep(delay); };

    // A step told to fail answers its status before anything else happens.
    auto failing = [adapter](const char* step, httplib::Response& res) {
        const auto it = adapter.fail.find(step);
        if (it == adapter.fail.end())
            return false;
        Json(res, it->second, "{\"error\":\"failed\"}");
        return true;
    };
    server.Post("/api/login", [adapter, sessions, delayed, failing](const httplib::Request& req,
                                                                    httplib::Response& res) {
        if (delayed())
            return Json(res, 503, "{}");
        if (failing("login", res))
            return;
        const int status = LoginStatus(adapter, req.body);
        if (status != 200)
            return Json(res, status, status == 400 ? "{\"error\":\"bad request\"}" : "{\"error\":\"unauthorized\"}");
        res.set_header("Set-Cookie", std::string(SessionStore::kCookieName) + "=" + sessions->Open() +
                                         "; Path=/; HttpOnly" + (adapter.https ? "; Secure" : ""));
        Json(res, 200, LoginSuccessBody(adapter));
    });

    auto document = [adapter, sessions, delayed, failing](const char* step, std::shared_ptr<const std::string> body) {
        return [adapter, sessions, delayed, failing, step, body](const httplib::Request& req, httplib::Response& res) {
            if (delayed())
                return Json(res, 503, "{}");
            if (failing(step, res))
                return;
            const bool basic =
                adapter.anyLogin ? req.has_header("Authorization")
                                 : BasicMatches(req.get_header_value("Authorization"), adapter.user, adapter.password);
            if (!sessions->Valid(req.get_header_value("Cookie")) && !basic) {
                res.set_header("WWW-Authenticate", "Basic realm=\"LX400\"");
                return Json(res, 401, "{\"error\":\"unauthorized\"}");
            }
            Json(res, 200, *body);
        };
    };
    server.Get("/api/system/info", document("info", info));
    server.Get("/api/system/network/config", document("config", config));
}

void Simulator::AddBigPage(httplib::Server& server, const BigPageHost& host)
{
    const std::uint64_t size = host.size;
    server.Get(".*", [this, size](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(static_cast<std::size_t>(size), "text/html",
                                 [this, size](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                     if (stop_.Stopped())
                                         return false;
                                     thread_local std::string block;
                                     BigPageBlock(size, offset, std::min(length, kBlock), block);
                                     return sink.write(block.data(), block.size());
                                 });
    });
}

void Simulator::AddVendor(httplib::Server& server)
{
    auto cgi = [this](const httplib::Request& req, httplib::Response& res) {
        const Answer answer =
            VendorAnswer(network_, req.get_param_value("ver"), req.get_param_value("oem"), req.get_param_value("dev"));
        res.status = answer.status;
        res.set_content(answer.body, "text/html");
    };
    const std::string moved = network_.vendorMoved;
    if (moved.empty()) {
        server.Get("/cgi-bin/kvt_update.cgi", cgi);
    } else {
        server.Get("/cgi-bin/kvt_update.cgi", [moved](const httplib::Request& req, httplib::Response& res) {
            Redirect(res, 302, moved + QueryOf(req.target));
        });
        if (moved[0] == '/')
            server.Get(Literal(moved), cgi);
    }
    server.Get("/__sim/stats", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(stats_.Json(), "application/json");
    });
}

bool Simulator::BindLegacy(const LegacyAdapter& adapter, std::string& error)
{
    auto server = MakeServer(adapter.address, nullptr, kAdapterThreads, error);
    if (!server)
        return false;
    if (!adapter.moved) {
        AddLegacy(*server, adapter, "/net.shtml");
        return Listen(std::move(server), adapter.address, 80, "legacy", error);
    }
    // A moved page: the old place redirects, the new one on the own address serves the page.
    const MovedPage moved = *adapter.moved;
    server->Get("/net\\.shtml",
                [moved, status = adapter.redirectStatus](const httplib::Request&, httplib::Response& res) {
                    Redirect(res, status, moved.location);
                });
    const bool samePort = !moved.https && moved.port == 80;
    if (moved.ownHost && samePort)
        AddLegacy(*server, adapter, moved.path);
    if (!Listen(std::move(server), adapter.address, 80, "legacy", error))
        return false;
    if (!moved.ownHost || samePort)
        return true;
    auto target = MakeServer(adapter.address, moved.https ? &adapter.tls : nullptr, kAdapterThreads, error);
    if (!target)
        return false;
    AddLegacy(*target, adapter, moved.path);
    return Listen(std::move(target), adapter.address, moved.port, moved.https ? "legacy-https" : "legacy", error);
}

bool Simulator::Bind(std::string& error)
{
    for (const auto& adapter : network_.adapters) {
        if (!BindLegacy(adapter, error))
            return false;
    }
    for (const auto& adapter : network_.lx400) {
        auto server = MakeServer(adapter.address, adapter.https ? &adapter.tls : nullptr, kAdapterThreads, error);
        if (!server)
            return false;
        AddLx400(*server, adapter);
        if (!Listen(std::move(server), adapter.address, adapter.Port(), adapter.https ? "lx400-https" : "lx400-http",
                    error))
            return false;
    }
    for (const auto& host : network_.bigPages) {
        auto server = MakeServer(host.address, nullptr, kAdapterThreads, error);
        if (!server)
            return false;
        AddBigPage(*server, host);
        if (!Listen(std::move(server), host.address, 80, "huge", error))
            return false;
    }
    for (const auto& host : network_.rawHosts) {
        auto listener = std::make_unique<RawListener>(host, stats_);
        if (!listener->Bind(error))
            return false;
        for (const int port : host.ports)
            listeners_.push_back(host.address + ":" + std::to_string(port) +
                                 (host.mode == RawHost::Mode::Silent    ? " silent"
                                  : host.mode == RawHost::Mode::Trickle ? " trickle"
                                                                        : " hangup"));
        raw_.push_back(std::move(listener));
    }
    if (!network_.vendorAddress.empty()) {
        auto server = MakeServer(network_.vendorAddress, nullptr, kVendorThreads, error);
        if (!server)
            return false;
        AddVendor(*server);
        if (!Listen(std::move(server), network_.vendorAddress, network_.vendorPort, "vendor", error))
            return false;
    }
    return true;
}

void Simulator::Start()
{
    started_ = true;
    for (auto& served : served_)
        served->thread = std::thread([entry = served.get()] {
            entry->server->listen_after_bind();
            entry->done = true;
        });
    for (auto& raw : raw_)
        raw->Start();
}

void Simulator::Stop()
{
    if (!started_)
        return;
    started_ = false;
    stop_.Stop();
    // The server's stop() does nothing before its listen loop has begun, and must not run twice:
    // call it once the server reports that it runs, or wait for a listen loop that ended by itself.
    for (auto& served : served_) {
        bool stopped = false;
        while (!served->done) {
            if (!stopped && served->server->is_running()) {
                served->server->stop();
                stopped = true;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        served->thread.join();
    }
    for (auto& raw : raw_)
        raw->Stop();
}

} // namespace sim
