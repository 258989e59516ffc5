#pragma once

// The self-signed certificate of the simulated LX400 adapters. It is made for the name
// "adapter.invalid", never for an adapter's address, so that clients must switch off the host-name
// and issuer checks, as they must for the real devices.
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace sim {

struct X509Free
{
    void operator()(X509* cert) const { X509_free(cert); }
};
struct EvpPkeyFree
{
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};

struct Certificate
{
    std::unique_ptr<X509, X509Free> cert;
    std::unique_ptr<EVP_PKEY, EvpPkeyFree> key;
};

inline constexpr const char* kCertificateName = "adapter.invalid";

// A fresh P-256 key and a certificate for kCertificateName, valid from yesterday for ten years.
// Empty pointers with a reason in `error` when OpenSSL fails.
[[nodiscard]] Certificate MakeSelfSignedCertificate(std::string& error);

} // namespace sim
