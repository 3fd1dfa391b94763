#include "platform/linux/net/HostNameCheck.h"

#include "platform/linux/net/DownloadErrors.h"

#include <QHostAddress>
#include <QNetworkReply>
#include <QSslConfiguration>

namespace qby::platform::linuxhost {

namespace {

// Names compare in their ASCII form, without case and without a final dot.
QString canonicalName(QString name) {
    if (name.endsWith(u'.')) name.chop(1);
    return name.toLower();
}

bool dnsEntryMatches(QString entry, const QString& host) {
    entry = canonicalName(entry);
    if (entry.isEmpty() || host.isEmpty()) return false;
    if (!entry.startsWith(QLatin1String("*."))) return !entry.contains(u'*') && entry == host;
    // "*.example.com": one whole label, and at least two labels beneath it.
    const QString base = entry.mid(2);
    if (base.contains(u'*') || base.count(u'.') < 1) return false;
    const qsizetype dot = host.indexOf(u'.');
    return dot > 0 && host.mid(dot + 1) == base;
}

}  // namespace

bool certificateNamesHost(const QSslCertificate& certificate, const QString& host) {
    if (certificate.isNull()) return false;
    const auto names = certificate.subjectAlternativeNames();
    QHostAddress address;
    if (address.setAddress(host)) {
        for (const QString& entry : names.values(QSsl::IpAddressEntry)) {
            if (QHostAddress(entry) == address) return true;
        }
        return false;
    }
    const QString name = canonicalName(host);
    for (const QString& entry : names.values(QSsl::DnsEntry)) {
        if (dnsEntryMatches(entry, name)) return true;
    }
    return false;
}

bool hasZoneIdentifier(const QUrl& url) {
    return url.host(QUrl::FullyEncoded).contains(u'%');
}

foundation::Status checkPeerNamesHost(const QNetworkReply& reply) {
    const QUrl url = reply.url();
    if (url.scheme() != QLatin1String("https")) return {};
    // The encoded host: certificates name international domains in their ASCII form.
    const QString host = url.host(QUrl::FullyEncoded);
    if (certificateNamesHost(reply.sslConfiguration().peerCertificate(), host)) return {};
    return certificateNameError(url.host());
}

}  // namespace qby::platform::linuxhost
