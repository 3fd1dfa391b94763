#include "platform/linux/net/NetworkRequests.h"

#include <QNetworkProxyFactory>
#include <QNetworkReply>

namespace qby::platform::linuxhost {

QNetworkRequest plainRequest(const QUrl& url) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    return request;
}

int httpStatus(const QNetworkReply& reply) {
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

void useSystemProxies() {
    QNetworkProxyFactory::setUseSystemConfiguration(true);
}

}  // namespace qby::platform::linuxhost
