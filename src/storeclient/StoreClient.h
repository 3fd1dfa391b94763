#pragma once

#include "storeclient/DropFolder.h"
#include "storeclient/NotificationParser.h"
#include "storeclient/RequestRecorder.h"

#include <QObject>
#include <QSet>
#include <QString>

namespace qby::storeclient {

// Takes the downloader's requests out of the drop folder: at start, and whenever the downloader
// posts "QBY.Helper". Every scan runs to its end on the main thread, so two notifications in a
// row never take the same file twice.
class StoreClient : public QObject {
    Q_OBJECT

public:
    // The notification the downloader posts after it has left a file in the drop folder.
    static constexpr auto kHelperNotification = "QBY.Helper";

    StoreClient(DropFolder folder, RequestRecorder recorder, QObject* parent = nullptr);

    // Records each notification file and removes it once it is recorded; a file that is not a
    // request stays where it is. Returns how many requests were taken.
    int scan();

public slots:
    // Receives every name posted on the user's notification channel.
    void notificationPosted(const QString& name);

signals:
    void requestReceived(const QString& file, const qby::storeclient::Request& request);

private:
    DropFolder folder_;
    RequestRecorder recorder_;
    QSet<QString> unremovable_;
};

}  // namespace qby::storeclient
