#pragma once

#include <QNetworkRequest>

class QNetworkReply;

namespace qby::platform::linuxhost {

// How much of a body Qt may hold before the reader has taken it: larger buffers cost memory
// without making transfers faster.
inline constexpr qint64 kReadBufferBytes = 1 << 20;

// A GET that follows redirects, but never from https down to http.
QNetworkRequest plainRequest(const QUrl& url);

// The HTTP status of the latest response, 0 when there is none (other schemes, no answer).
int httpStatus(const QNetworkReply& reply);

// Lets Qt find proxies as the system names them (http_proxy, https_proxy, no_proxy and the
// desktop's settings); applies to the whole process.
void useSystemProxies();

}  // namespace qby::platform::linuxhost
