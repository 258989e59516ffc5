#include "sim/tls_setup.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>

namespace sim {

namespace {

std::string OpenSslError(const std::string& what)
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return what + ": " + text;
}

// The 1024-bit MODP group of RFC 2409 with generator 2, as old adapters offer for DHE.
EVP_PKEY* MakeDh1024()
{
    std::unique_ptr<BIGNUM, decltype(&BN_free)> prime(BN_get_rfc2409_prime_1024(nullptr), BN_free);
    std::unique_ptr<BIGNUM, decltype(&BN_free)> generator(BN_new(), BN_free);
    std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> build(OSSL_PARAM_BLD_new(), OSSL_PARAM_BLD_free);
    if (!prime || !generator || !build || BN_set_word(generator.get(), 2) != 1 ||
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_FFC_P, prime.get()) != 1 ||
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_FFC_G, generator.get()) != 1)
        return nullptr;
    std::unique_ptr<OSSL_PARAM, decltype(&OSSL_PARAM_free)> params(OSSL_PARAM_BLD_to_param(build.get()),
                                                                   OSSL_PARAM_free);
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(
        EVP_PKEY_CTX_new_from_name(nullptr, "DH", nullptr), EVP_PKEY_CTX_free);
    EVP_PKEY* group = nullptr;
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
        EVP_PKEY_fromdata(context.get(), &group, EVP_PKEY_KEY_PARAMETERS, params.get()) != 1)
        return nullptr;
    return group;
}

// What one set-up consists of.
struct Profile
{
    CertificateRequest certificate;
    int minVersion = 0; // 0: the library's default
    int maxVersion = 0;
    const char* ciphers = nullptr;
    bool oldSecurity = false; // security level 0: old protocols, small keys, SHA-1
    bool dh1024 = false;
    bool askClientCertificate = false;
    const char* gnutlsPriority = nullptr; // served through GnuTLS with this priority string
};

Profile ProfileOf(TlsSetup setup, const std::string& address)
{
    Profile profile;
    profile.certificate.key = KeyKind::Rsa2048;
    profile.certificate.name = address;
    switch (setup) {
    case TlsSetup::OtherName:
        profile.certificate = CertificateRequest{};
        break;
    case TlsSetup::Modern:
        break;
    case TlsSetup::Tls10:
        profile.certificate.key = KeyKind::Rsa1024;
        profile.certificate.sha1 = true;
        profile.minVersion = profile.maxVersion = TLS1_VERSION;
        profile.ciphers = "DEFAULT:@SECLEVEL=0";
        profile.oldSecurity = true;
        break;
    case TlsSetup::Tls11:
        profile.minVersion = profile.maxVersion = TLS1_1_VERSION;
        profile.ciphers = "DEFAULT:@SECLEVEL=0";
        profile.oldSecurity = true;
        break;
    case TlsSetup::Tls12:
        profile.minVersion = profile.maxVersion = TLS1_2_VERSION;
        break;
    case TlsSetup::Tls13:
        profile.minVersion = profile.maxVersion = TLS1_3_VERSION;
        break;
    case TlsSetup::Dhe1024:
        profile.minVersion = profile.maxVersion = TLS1_2_VERSION;
        profile.ciphers = "kDHE+aRSA:@SECLEVEL=0";
        profile.oldSecurity = true;
        profile.dh1024 = true;
        break;
    case TlsSetup::RsaKeyExchange:
        profile.maxVersion = TLS1_2_VERSION;
        profile.ciphers = "kRSA:!aNULL:!eNULL";
        break;
    case TlsSetup::Ecdsa:
        profile.certificate.key = KeyKind::P256;
        break;
    case TlsSetup::Expired:
        profile.certificate.validFromDays = -730;
        profile.certificate.validUntilDays = -365;
        break;
    case TlsSetup::NotYetValid:
        profile.certificate.validFromDays = 365;
        profile.certificate.validUntilDays = 730;
        break;
    case TlsSetup::ClientCertificate:
        profile.maxVersion = TLS1_2_VERSION;
        profile.askClientCertificate = true;
        break;
    case TlsSetup::Tls10NoRenegotiation:
        profile.gnutlsPriority = "NORMAL:-VERS-ALL:+VERS-TLS1.0:%DISABLE_SAFE_RENEGOTIATION";
        break;
    case TlsSetup::Tls12NoRenegotiation:
        profile.gnutlsPriority = "NORMAL:-VERS-ALL:+VERS-TLS1.2:%DISABLE_SAFE_RENEGOTIATION";
        break;
    }
    return profile;
}

} // namespace

const char* TlsSetups::GnuTlsPriority(TlsSetup setup)
{
    return ProfileOf(setup, {}).gnutlsPriority;
}

bool TlsSetups::Pem(TlsSetup setup, const std::string& address, std::string& certificate, std::string& key,
                    std::string& error)
{
    const Profile profile = ProfileOf(setup, address);
    EVP_PKEY* pkey = Key(profile.certificate.key, error);
    if (pkey == nullptr)
        return false;
    const Certificate made = MakeCertificate(pkey, profile.certificate, error);
    if (!made.cert)
        return false;
    std::unique_ptr<BIO, decltype(&BIO_free)> certText(BIO_new(BIO_s_mem()), BIO_free);
    std::unique_ptr<BIO, decltype(&BIO_free)> keyText(BIO_new(BIO_s_mem()), BIO_free);
    if (!certText || !keyText || PEM_write_bio_X509(certText.get(), made.cert.get()) != 1 ||
        PEM_write_bio_PrivateKey(keyText.get(), made.key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        error = OpenSslError(std::string("TLS set-up ") + TlsSetupName(setup) + " for " + address + ": PEM");
        return false;
    }
    auto text = [](BIO* bio) {
        char* data = nullptr;
        const long size = BIO_get_mem_data(bio, &data);
        return std::string(data, static_cast<std::size_t>(size > 0 ? size : 0));
    };
    certificate = text(certText.get());
    key = text(keyText.get());
    return true;
}

EVP_PKEY* TlsSetups::Key(KeyKind kind, std::string& error)
{
    auto& key = keys_[kind];
    if (!key)
        key = MakeKey(kind, error);
    return key.get();
}

bool TlsSetups::Configure(SSL_CTX& context, TlsSetup setup, const std::string& address, std::string& error)
{
    const Profile profile = ProfileOf(setup, address);
    const std::string what = std::string("TLS set-up ") + TlsSetupName(setup) + " for " + address;
    // The level goes first: it decides which certificates the context takes at all.
    if (profile.oldSecurity)
        SSL_CTX_set_security_level(&context, 0);
    SSL_CTX_set_options(&context, SSL_OP_NO_COMPRESSION);
    if ((profile.minVersion != 0 && SSL_CTX_set_min_proto_version(&context, profile.minVersion) != 1) ||
        (profile.maxVersion != 0 && SSL_CTX_set_max_proto_version(&context, profile.maxVersion) != 1) ||
        (profile.ciphers != nullptr && SSL_CTX_set_cipher_list(&context, profile.ciphers) != 1)) {
        error = OpenSslError(what);
        return false;
    }
    if (profile.dh1024) {
        EVP_PKEY* group = MakeDh1024();
        if (group == nullptr || SSL_CTX_set0_tmp_dh_pkey(&context, group) != 1) {
            EVP_PKEY_free(group);
            error = OpenSslError(what + ": DH group");
            return false;
        }
    }
    if (profile.askClientCertificate)
        SSL_CTX_set_verify(&context, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
    EVP_PKEY* key = Key(profile.certificate.key, error);
    if (key == nullptr)
        return false;
    const Certificate certificate = MakeCertificate(key, profile.certificate, error);
    if (!certificate.cert)
        return false;
    if (SSL_CTX_use_certificate(&context, certificate.cert.get()) != 1 ||
        SSL_CTX_use_PrivateKey(&context, certificate.key.get()) != 1 || SSL_CTX_check_private_key(&context) != 1) {
        error = OpenSslError(what + ": certificate");
        return false;
    }
    return true;
}

} // namespace sim
