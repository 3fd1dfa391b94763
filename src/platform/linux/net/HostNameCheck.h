#pragma once

#include "foundation/Result.h"

#include <QSslCertificate>
#include <QString>
#include <QUrl>

class QNetworkReply;

namespace qby::platform::linuxhost {

// The server's certificate must name the host by its subject alternative names alone, as
// browsers require (RFC 6125): a DNS entry for a host name, an IP entry for an address, a
// wildcard only as the whole left-most label of a name of three labels or more, matching one
// label. The common name counts for nothing. Qt's own check, which also accepts a matching
// common name, runs first; this one is stricter.
bool certificateNamesHost(const QSslCertificate& certificate, const QString& host);

// A URL the downloader does not ask: an IPv6 address with a zone identifier, which names an
// interface of this machine rather than a server a certificate can name.
bool hasZoneIdentifier(const QUrl& url);

// Checks the reply's peer certificate against its current URL's host (a redirect's target
// once followed), when the URL is https; the failure is the user's sentence.
foundation::Status checkPeerNamesHost(const QNetworkReply& reply);

}  // namespace qby::platform::linuxhost
