#include "sim/gnutls_server.h"

#include <httplib.h>

#include <gnutls/gnutls.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace sim {

namespace {

// The bytes of one connection through its GnuTLS session, in the form the HTTP server reads and
// writes them. Every read and write first waits for the socket, so the server's time-outs hold.
class GnuTlsStream final : public httplib::Stream
{
public:
    GnuTlsStream(gnutls_session_t session, int fd, int readTimeoutMs, int writeTimeoutMs)
        : session_(session), fd_(fd), readTimeoutMs_(readTimeoutMs), writeTimeoutMs_(writeTimeoutMs)
    {}

    bool is_readable() const override
    {
        return gnutls_record_check_pending(session_) > 0 || Wait(POLLIN, readTimeoutMs_);
    }
    bool is_writable() const override { return Wait(POLLOUT, writeTimeoutMs_); }

    ssize_t read(char* ptr, size_t size) override
    {
        if (!is_readable())
            return -1;
        for (;;) {
            const ssize_t got = gnutls_record_recv(session_, ptr, size);
            if (got >= 0)
                return got;
            if (got == GNUTLS_E_INTERRUPTED)
                continue;
            // A peer that closes without a TLS close alert has simply gone.
            return got == GNUTLS_E_PREMATURE_TERMINATION ? 0 : -1;
        }
    }

    ssize_t write(const char* ptr, size_t size) override
    {
        if (!is_writable())
            return -1;
        for (;;) {
            const ssize_t sent = gnutls_record_send(session_, ptr, size);
            if (sent >= 0)
                return sent;
            if (sent != GNUTLS_E_INTERRUPTED)
                return -1;
        }
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(getpeername, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { Address(getsockname, ip, port); }
    socket_t socket() const override { return fd_; }

    // Whether the socket becomes ready for `events` within `ms`.
    [[nodiscard]] bool Wait(short events, int ms) const
    {
        pollfd entry{fd_, events, 0};
        int ready = 0;
        do
            ready = poll(&entry, 1, ms);
        while (ready < 0 && errno == EINTR);
        return ready > 0 && (entry.revents & events) != 0;
    }

private:
    template <typename Query> void Address(Query query, std::string& ip, int& port) const
    {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        char text[INET_ADDRSTRLEN] = {};
        if (query(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0 && address.sin_family == AF_INET &&
            inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) != nullptr) {
            ip = text;
            port = ntohs(address.sin_port);
        }
    }

    gnutls_session_t session_;
    int fd_;
    int readTimeoutMs_;
    int writeTimeoutMs_;
};

class GnuTlsServer final : public httplib::Server
{
public:
    GnuTlsServer(const std::string& priority, const std::string& certificatePem, const std::string& keyPem,
                 std::string& error)
    {
        const char* wrong = nullptr;
        if (gnutls_priority_init(&priority_, priority.c_str(), &wrong) != GNUTLS_E_SUCCESS) {
            priority_ = nullptr;
            error = "GnuTLS refuses the priority string at " + std::string(wrong != nullptr ? wrong : priority);
            return;
        }
        if (gnutls_certificate_allocate_credentials(&credentials_) != GNUTLS_E_SUCCESS) {
            credentials_ = nullptr;
            error = "GnuTLS has no memory for the credentials";
            return;
        }
        gnutls_datum_t cert{reinterpret_cast<unsigned char*>(const_cast<char*>(certificatePem.data())),
                            static_cast<unsigned>(certificatePem.size())};
        gnutls_datum_t key{reinterpret_cast<unsigned char*>(const_cast<char*>(keyPem.data())),
                           static_cast<unsigned>(keyPem.size())};
        if (const int rc = gnutls_certificate_set_x509_key_mem(credentials_, &cert, &key, GNUTLS_X509_FMT_PEM);
            rc != GNUTLS_E_SUCCESS) {
            error = std::string("GnuTLS refuses the certificate: ") + gnutls_strerror(rc);
            gnutls_certificate_free_credentials(credentials_);
            credentials_ = nullptr;
        }
    }

    ~GnuTlsServer() override
    {
        if (credentials_ != nullptr)
            gnutls_certificate_free_credentials(credentials_);
        if (priority_ != nullptr)
            gnutls_priority_deinit(priority_);
    }
    GnuTlsServer(const GnuTlsServer&) = delete;
    GnuTlsServer& operator=(const GnuTlsServer&) = delete;

    bool is_valid() const override { return priority_ != nullptr && credentials_ != nullptr; }

private:
    // Runs on a worker of the server's task queue for every accepted connection: the handshake,
    // then the requests of the connection as the plain server reads them.
    bool process_and_close_socket(socket_t fd) override
    {
        bool served = false;
        gnutls_session_t session = nullptr;
        if (gnutls_init(&session, GNUTLS_SERVER | GNUTLS_NO_SIGNAL) == GNUTLS_E_SUCCESS) {
            gnutls_priority_set(session, priority_);
            gnutls_credentials_set(session, GNUTLS_CRD_CERTIFICATE, credentials_);
            gnutls_certificate_server_set_request(session, GNUTLS_CERT_IGNORE);
            gnutls_transport_set_int(session, fd);
            gnutls_handshake_set_timeout(session, static_cast<unsigned>(read_timeout_sec_ * 1000));
            int rc = 0;
            do
                rc = gnutls_handshake(session);
            while (rc < 0 && gnutls_error_is_fatal(rc) == 0);
            if (rc == GNUTLS_E_SUCCESS) {
                served = Serve(session, fd);
                gnutls_bye(session, GNUTLS_SHUT_WR);
            }
            gnutls_deinit(session);
        }
        shutdown(fd, SHUT_RDWR);
        close(fd);
        return served;
    }

    // The keep-alive loop of the plain server: at most its count of requests, each only when it
    // arrives within the keep-alive time-out, none once the server stops.
    bool Serve(gnutls_session_t session, int fd)
    {
        GnuTlsStream stream(session, fd, static_cast<int>(read_timeout_sec_ * 1000 + read_timeout_usec_ / 1000),
                            static_cast<int>(write_timeout_sec_ * 1000 + write_timeout_usec_ / 1000));
        bool served = false;
        for (std::size_t left = keep_alive_max_count_; left > 0; --left) {
            if (!RequestArrives(session, stream))
                break;
            bool closed = false;
            served = process_request(stream, left == 1, closed, [](httplib::Request&) {});
            if (!served || closed)
                break;
        }
        return served;
    }

    // Waits in short slices, so a stopping server does not wait for idle clients.
    bool RequestArrives(gnutls_session_t session, const GnuTlsStream& stream) const
    {
        constexpr int kSliceMs = 100;
        for (long waited = 0; svr_sock_ != INVALID_SOCKET; waited += kSliceMs) {
            if (gnutls_record_check_pending(session) > 0 || stream.Wait(POLLIN, kSliceMs))
                return true;
            if (waited >= keep_alive_timeout_sec_ * 1000)
                return false;
        }
        return false;
    }

    gnutls_priority_t priority_ = nullptr;
    gnutls_certificate_credentials_t credentials_ = nullptr;
};

} // namespace

std::unique_ptr<httplib::Server> MakeGnuTlsServer(const std::string& priority, const std::string& certificatePem,
                                                  const std::string& keyPem, std::string& error)
{
    auto server = std::make_unique<GnuTlsServer>(priority, certificatePem, keyPem, error);
    if (!server->is_valid())
        return nullptr;
    return server;
}

} // namespace sim
