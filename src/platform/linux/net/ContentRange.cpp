#include "platform/linux/net/ContentRange.h"

#include <QRegularExpression>

namespace qby::platform::linuxhost {

std::optional<qint64> lengthOfRestFrom(const QByteArray& contentRange, qint64 offset,
                                       qint64 knownLength) {
    static const QRegularExpression form(
        QStringLiteral("^bytes (\\d{1,18})-(\\d{1,18})/(\\d{1,18})$"));
    const QRegularExpressionMatch match = form.match(QString::fromLatin1(contentRange.trimmed()));
    if (!match.hasMatch()) return std::nullopt;
    const qint64 first = match.captured(1).toLongLong();
    const qint64 last = match.captured(2).toLongLong();
    const qint64 length = match.captured(3).toLongLong();
    if (first != offset || last + 1 != length) return std::nullopt;
    if (knownLength >= 0 && length != knownLength) return std::nullopt;
    return length;
}

}  // namespace qby::platform::linuxhost
