#include "sim/certificate.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

namespace sim {

namespace {

std::string OpenSslError(const char* what)
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return std::string(what) + ": " + text;
}

} // namespace

Certificate MakeSelfSignedCertificate(std::string& error)
{
    Certificate made;
    std::unique_ptr<EVP_PKEY, EvpPkeyFree> key(EVP_EC_gen("P-256"));
    std::unique_ptr<X509, X509Free> cert(X509_new());
    if (!key || !cert) {
        error = OpenSslError("cannot make a key");
        return made;
    }
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -24L * 3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Trawlix simulator"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(kCertificateName), -1,
                               -1, 0);
    X509_set_issuer_name(cert.get(), name);
    const std::string altName = std::string("DNS:") + kCertificateName;
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
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0) {
        error = OpenSslError("cannot sign the certificate");
        return made;
    }
    made.cert = std::move(cert);
    made.key = std::move(key);
    return made;
}

} // namespace sim
