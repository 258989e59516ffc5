#include "sim/certificate.h"

#include <openssl/err.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

namespace sim {

namespace {

std::string OpenSslError(const char* what)
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return std::string(what) + ": " + text;
}

bool IsIpv4(const std::string& name)
{
    in_addr parsed{};
    return inet_pton(AF_INET, name.c_str(), &parsed) == 1;
}

} // namespace

std::unique_ptr<EVP_PKEY, EvpPkeyFree> MakeKey(KeyKind kind, std::string& error)
{
    std::unique_ptr<EVP_PKEY, EvpPkeyFree> key;
    switch (kind) {
    case KeyKind::Rsa2048:
        key.reset(EVP_RSA_gen(2048));
        break;
    case KeyKind::Rsa1024:
        key.reset(EVP_RSA_gen(1024));
        break;
    case KeyKind::P256:
        key.reset(EVP_EC_gen("P-256"));
        break;
    }
    if (!key)
        error = OpenSslError("cannot make a key");
    return key;
}

Certificate MakeCertificate(EVP_PKEY* key, const CertificateRequest& request, std::string& error)
{
    Certificate made;
    std::unique_ptr<X509, X509Free> cert(X509_new());
    if (key == nullptr || !cert || EVP_PKEY_up_ref(key) != 1) {
        error = OpenSslError("cannot make a certificate");
        return made;
    }
    std::unique_ptr<EVP_PKEY, EvpPkeyFree> ownKey(key);
    constexpr long kDay = 24L * 3600;
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), request.validFromDays * kDay);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), request.validUntilDays * kDay);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Trawlix simulator"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(request.name.c_str()),
                               -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    const std::string altName = (IsIpv4(request.name) ? "IP:" : "DNS:") + request.name;
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert.get(), cert.get(), nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, altName.c_str());
    if (extension == nullptr || X509_add_ext(cert.get(), extension, -1) != 1) {
        X509_EXTENSION_free(extension);
        error = OpenSslError("cannot name the certificate");
        return made;
    }
    X509_EXTENSION_free(extension);
    if (X509_sign(cert.get(), key, request.sha1 ? EVP_sha1() : EVP_sha256()) == 0) {
        error = OpenSslError("cannot sign the certificate");
        return made;
    }
    made.cert = std::move(cert);
    made.key = std::move(ownKey);
    return made;
}

Certificate MakeSelfSignedCertificate(std::string& error)
{
    auto key = MakeKey(KeyKind::P256, error);
    if (!key)
        return {};
    return MakeCertificate(key.get(), CertificateRequest{}, error);
}

} // namespace sim
