#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A small HTTP server on 127.0.0.1 and a free port for tests of the HTTP layer: every request is
// recorded and answered with the raw bytes a handler returns. A handler may also ask the server
// to hold the connection open without answering, to play a silent host.
class LoopbackHttpServer final
{
public:
    struct Request
    {
        std::string requestLine; // "GET /path HTTP/1.1"
        std::string method;
        std::string target;
        std::string head; // the whole head, lines separated by "\r\n"
        std::string body;
        [[nodiscard]] std::string Header(const std::string& name) const;
    };
    struct Reply
    {
        std::string bytes; // status line, headers and body as sent
        bool silent = false;
        // Sends the bytes one at a time with this pause between them (a host that trickles).
        int trickleMs = 0;
    };
    using Handler = std::function<Reply(const Request&)>;

    // Listens on 127.0.0.1 and a free port, or on the given address and port (inside a private
    // network namespace, any address the test put on its loopback device).
    explicit LoopbackHttpServer(Handler handler, const std::string& address = "127.0.0.1", std::uint16_t port = 0);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    [[nodiscard]] std::uint16_t Port() const { return port_; }
    // "ADDRESS:PORT", usable wherever the program takes a host or an address.
    [[nodiscard]] std::string Authority() const;
    [[nodiscard]] std::vector<Request> Requests() const;

    // A complete response with the given status, extra header lines ("Name: value\r\n" each)
    // and body, closing the connection afterwards.
    static Reply Respond(int status, const std::string& body, const std::string& headers = {});

private:
    void AcceptLoop();
    void Serve(int fd);

    Handler handler_;
    std::string address_;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::vector<Request> requests_;
    std::vector<std::thread> workers_;
    std::vector<int> openFds_;
    std::thread acceptor_;
};

} // namespace testsupport
