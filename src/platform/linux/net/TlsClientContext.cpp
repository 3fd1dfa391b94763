#include "platform/linux/net/TlsClientContext.h"

#include <QSslCertificate>
#include <QSslConfiguration>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace qby::platform::linuxhost {

namespace {

// Where distributions keep their trusted certificates under hashed names; looked up on demand.
constexpr const char* kCertificateFolders[] = {
    "/etc/ssl/certs/",     "/usr/lib/ssl/certs/", "/usr/share/ssl/",
    "/usr/local/ssl/",     "/var/ssl/certs/",     "/usr/local/ssl/certs/",
    "/etc/openssl/certs/", "/opt/openssl/certs/", "/etc/ssl/",
};

// Enough for several 16 KiB records per read from the socket.
constexpr size_t kReadBufferBytes = 256 * 1024;

// The configuration's certificates hold what a system without hashed folders trusts (its
// bundle files, loaded by Qt) and what this process added.
void trust(X509_STORE* store) {
    for (const QSslCertificate& certificate :
         QSslConfiguration::defaultConfiguration().caCertificates()) {
        const QByteArray der = certificate.toDer();
        const auto* bytes = reinterpret_cast<const unsigned char*>(der.constData());
        if (X509* parsed = d2i_X509(nullptr, &bytes, der.size())) {
            X509_STORE_add_cert(store, parsed);
            X509_free(parsed);
        }
    }
    if (X509_LOOKUP* folders = X509_STORE_add_lookup(store, X509_LOOKUP_hash_dir())) {
        for (const char* folder : kCertificateFolders)
            X509_LOOKUP_add_dir(folders, folder, X509_FILETYPE_PEM);
    }
}

}  // namespace

ssl_ctx_st* newTlsClientContext() {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) return nullptr;
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // Many servers close without TLS's closing alert; HTTP's framing tells a short body.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(context, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_read_ahead(context, 1);
    SSL_CTX_set_default_read_buffer_len(context, kReadBufferBytes);
    trust(SSL_CTX_get_cert_store(context));
    return context;
}

}  // namespace qby::platform::linuxhost
