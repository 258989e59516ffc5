#pragma once

// Keys and self-signed certificates of the simulated https hosts, made in memory. The default one
// is made for the name "adapter.invalid", never for an adapter's address, so that clients must
// switch off the host-name and issuer checks, as they must for the real devices; the other TLS
// set-ups vary the key, the signature, the name and the validity.
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

enum class KeyKind { Rsa2048, Rsa1024, P256 };

struct CertificateRequest
{
    KeyKind key = KeyKind::P256;
    // A DNS name, or a dotted IPv4 address (then the certificate names that address).
    std::string name = kCertificateName;
    bool sha1 = false;
    // Validity, in days from now.
    long validFromDays = -1;
    long validUntilDays = 3650;
};

// A fresh key of the given kind; empty with a reason in `error` when OpenSSL fails.
[[nodiscard]] std::unique_ptr<EVP_PKEY, EvpPkeyFree> MakeKey(KeyKind kind, std::string& error);

// A certificate for `request`, self-signed with `key` (which must be of request.key's kind). Empty
// pointers with a reason in `error` when OpenSSL fails.
[[nodiscard]] Certificate MakeCertificate(EVP_PKEY* key, const CertificateRequest& request, std::string& error);

// A fresh P-256 key and a certificate for kCertificateName, valid from yesterday for ten years.
[[nodiscard]] Certificate MakeSelfSignedCertificate(std::string& error);

} // namespace sim
