#pragma once

#include "storeclient/NotificationParser.h"

#include <QJsonObject>
#include <QSet>
#include <QString>

namespace qby::storeclient {

// Appends what the client received to a JSON Lines file, one durable line per event:
//   {"file":"download.X.plist","request":{"key":"value",...}}
//   {"file":"download.Y.plist","error":"root is not a dictionary"}
class RequestRecorder {
public:
    explicit RequestRecorder(QString logPath = defaultPath());

    // <user data folder>/Quillbay/requests.jsonl
    static QString defaultPath();

    const QString& logPath() const { return logPath_; }

    // True once the line is on disk; only then may the notification file go.
    bool recordRequest(const QString& file, const Request& request);

    // Records a file that is not a request, once per file for the life of this recorder, so
    // that a broken file left in the folder does not fill the log at every scan.
    bool recordFailure(const QString& file, const QString& reason);

private:
    bool append(const QJsonObject& line);

    QString logPath_;
    QSet<QString> failedFiles_;
};

}  // namespace qby::storeclient
