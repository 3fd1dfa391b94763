#pragma once

struct ssl_ctx_st;

namespace qby::platform::linuxhost {

// A new context for TLS clients (free it with SSL_CTX_free), nullptr when the TLS library has
// none to give: TLS 1.2 or later, the server's certificate verified against the certificates
// of this process's default TLS configuration and the system's certificate folders (the
// places Qt's own sockets look in), several records taken from the socket per read.
ssl_ctx_st* newTlsClientContext();

}  // namespace qby::platform::linuxhost
