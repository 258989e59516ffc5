#pragma once

// The server side of the simulator's TLS set-ups: which protocol versions, key exchanges and
// certificate an https host presents.
#include "sim/certificate.h"
#include "sim/network_file.h"

#include <openssl/ssl.h>

#include <map>
#include <string>

namespace sim {

class TlsSetups final
{
public:
    // Sets up a fresh server context for `setup` on the host at `address`; false with a reason.
    // Keys are made once per kind and shared by every host.
    bool Configure(SSL_CTX& context, TlsSetup setup, const std::string& address, std::string& error);

    // OpenSSL as a server always answers a client's offer of secure renegotiation; the set-ups
    // without it are served through GnuTLS with this priority string. Null for the others.
    [[nodiscard]] static const char* GnuTlsPriority(TlsSetup setup);
    // The certificate and key of `setup` for the host at `address` as PEM text, for GnuTLS;
    // false with a reason.
    bool Pem(TlsSetup setup, const std::string& address, std::string& certificate, std::string& key,
             std::string& error);

private:
    EVP_PKEY* Key(KeyKind kind, std::string& error);

    std::map<KeyKind, std::unique_ptr<EVP_PKEY, EvpPkeyFree>> keys_;
};

} // namespace sim
