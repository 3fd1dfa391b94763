#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace qby::storeclient {

// A download request: text keys to text values, exactly as the downloader wrote them.
using Request = QMap<QString, QString>;

// What one notification file holds: a request, or the reason it is not one.
struct ParsedNotification {
    bool ok = false;
    Request request;
    QString error;
};

// Reads a notification file's bytes: an XML or binary property list whose root is a dictionary
// of texts. Anything else is refused with a short reason, never guessed at.
class NotificationParser {
public:
    static ParsedNotification parse(const QByteArray& bytes);
};

}  // namespace qby::storeclient
