#include "platform/linux/net/DownloadErrors.h"

#include "foundation/UserMessage.h"

#include <QNetworkReply>
#include <array>
#include <utility>

namespace qby::platform::linuxhost {

namespace {

// The standard reason phrases of the statuses a web server commonly sends; a server's own
// phrase may be empty (HTTP/2 has none) or misleading.
QString reasonFor(int status, const QString& serverPhrase) {
    static const std::array<std::pair<int, const char*>, 14> phrases{{
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {405, "Method Not Allowed"},
        {408, "Request Timeout"},
        {410, "Gone"},
        {416, "Range Not Satisfiable"},
        {429, "Too Many Requests"},
        {500, "Internal Server Error"},
        {501, "Not Implemented"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
        {504, "Gateway Timeout"},
    }};
    for (const auto& [code, phrase] : phrases) {
        if (code == status) return QString::fromLatin1(phrase);
    }
    return serverPhrase.trimmed();
}

// Failures of the way to the server rather than of the request: worth another try.
bool isConnectionLost(QNetworkReply::NetworkError error) {
    switch (error) {
        case QNetworkReply::RemoteHostClosedError:
        case QNetworkReply::TimeoutError:
        case QNetworkReply::TemporaryNetworkFailureError:
        case QNetworkReply::NetworkSessionFailedError:
        case QNetworkReply::UnknownNetworkError:
        case QNetworkReply::ProxyConnectionClosedError:
        case QNetworkReply::ProxyTimeoutError:
            return true;
        default:
            return false;
    }
}

// The error, marked as worth another try where it is.
foundation::Error transientIf(bool transient, foundation::Error error) {
    error.transient = transient;
    return error;
}

}  // namespace

foundation::Error httpStatusError(int status, const QString& reasonPhrase) {
    const QString reason = reasonFor(status, reasonPhrase);
    const QString answer = reason.isEmpty() ? QString::number(status)
                                            : QStringLiteral("%1 %2").arg(status).arg(reason);
    return transientIf(
        status >= 500 || status == 429,
        foundation::userError(status, QStringLiteral("The server answered %1."), {answer}));
}

foundation::Error networkError(QNetworkReply::NetworkError error, const QString& text) {
    if (error == QNetworkReply::InsecureRedirectError) return insecureRedirectError();
    return transientIf(
        isConnectionLost(error),
        foundation::userError(error, QStringLiteral("The download failed: %1."), {text}));
}

foundation::Error networkError(const QNetworkReply& reply) {
    return networkError(reply.error(), reply.errorString());
}

foundation::Error insecureRedirectError() {
    return foundation::userError(
        QNetworkReply::InsecureRedirectError,
        QStringLiteral("The server redirected the download from a secure (https) address to an "
                       "insecure (http) one, which is refused."));
}

foundation::Error certificateNameError(const QString& host) {
    return foundation::userError(
        QNetworkReply::SslHandshakeFailedError,
        QStringLiteral("The server's certificate does not name %1 among its names."), {host});
}

foundation::Error zoneIdentifierError() {
    return foundation::userError(
        QNetworkReply::ProtocolInvalidOperationError,
        QStringLiteral(
            "The address names a network interface of this computer, which is refused."));
}

foundation::Error unexpectedStatusError(int status) {
    return foundation::userError(QNetworkReply::ProtocolInvalidOperationError,
                                 QStringLiteral("The server answered %1, which is no download."),
                                 {QString::number(status)});
}

foundation::Error sizeMismatchError(qint64 announced, qint64 promised) {
    return foundation::userError(
        QNetworkReply::ProtocolInvalidOperationError,
        QStringLiteral("The server announced %1 bytes where the release has %2."),
        {QString::number(announced), QString::number(promised)});
}

foundation::Error largerThanPromisedError() {
    // The install road's own sentence for a body past the release's size.
    return foundation::userError(
        QNetworkReply::ProtocolInvalidOperationError,
        QStringLiteral("The download was larger than announced. Please try again later."));
}

foundation::Error unprovenEndError() {
    return foundation::userError(
        QNetworkReply::ProtocolInvalidOperationError,
        QStringLiteral("The server sent the download without its length and would not confirm "
                       "it, so it may be incomplete."));
}

foundation::Error unusableRangeError(const QByteArray& contentRange) {
    return foundation::userError(
        QNetworkReply::ProtocolInvalidOperationError,
        QStringLiteral("The server resumed the download at the wrong place (%1)."),
        {QString::fromLatin1(contentRange)});
}

foundation::Error tooLongError(qint64 maxBytes) {
    return {QNetworkReply::ProtocolFailure,
            QStringLiteral("The answer is longer than %1 bytes.").arg(maxBytes)};
}

foundation::Error stallError(double seconds) {
    return transientIf(true, foundation::userError(
                                 QNetworkReply::TimeoutError,
                                 QStringLiteral("The server stopped sending data for %1 seconds."),
                                 {QString::number(seconds)}));
}

foundation::Error shortBodyError(qint64 received, qint64 announced) {
    return transientIf(true,
                       foundation::userError(
                           QNetworkReply::RemoteHostClosedError,
                           QStringLiteral("The server closed the connection after %1 of %2 bytes."),
                           {QString::number(received), QString::number(announced)}));
}

foundation::Error fileError(int errorNumber, const QString& path) {
    return foundation::userError(errorNumber,
                                 QStringLiteral("The download could not be saved to %1: %2."),
                                 {path, qt_error_string(errorNumber)});
}

}  // namespace qby::platform::linuxhost
