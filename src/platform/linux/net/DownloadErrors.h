#pragma once

#include "foundation/Result.h"

#include <QNetworkReply>

namespace qby::platform::linuxhost {

// The failures of a URL download, worded for the user. Codes: the HTTP status for an error
// status, the QNetworkReply::NetworkError value for network failures (a stall is TimeoutError, a
// short body RemoteHostClosedError), errno for the destination file. Transient: a server error
// (5xx, and 429), a stall, a short body and a connection lost on the way.

// An answer of 400 or above: "The server answered 503 Service Unavailable."
foundation::Error httpStatusError(int status, const QString& reasonPhrase);

// A network failure of that kind, text saying what happened: "The download failed: TEXT."
foundation::Error networkError(QNetworkReply::NetworkError error, const QString& text);
// The reply's own network error, in Qt's words.
foundation::Error networkError(const QNetworkReply& reply);

// A redirect from https to http, which is not followed.
foundation::Error insecureRedirectError();

// A certificate that does not name the host by its subject alternative names.
foundation::Error certificateNameError(const QString& host);

// A URL whose host is an IPv6 address with a zone identifier.
foundation::Error zoneIdentifierError();

// An answer that is no body to store (a status other than 200, or 206 to a range asked for).
foundation::Error unexpectedStatusError(int status);

// A body whose announced length is not the one the release promised.
foundation::Error sizeMismatchError(qint64 announced, qint64 promised);

// A body longer than the release promised.
foundation::Error largerThanPromisedError();

// A body without length whose end nothing proves: the server sent it again whole rather than
// confirm its length.
foundation::Error unprovenEndError();

// A response that resumes no download: its answer to a request for the bytes from a given one.
foundation::Error unusableRangeError(const QByteArray& contentRange);

// A body longer than the reader takes.
foundation::Error tooLongError(qint64 maxBytes);

// No data for the whole stall time.
foundation::Error stallError(double seconds);

// The connection ended before the announced length had arrived.
foundation::Error shortBodyError(qint64 received, qint64 announced);

// The destination could not be created or written.
foundation::Error fileError(int errorNumber, const QString& path);

}  // namespace qby::platform::linuxhost
