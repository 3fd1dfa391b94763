#pragma once

#include "storeclient/NotificationParser.h"

#include <QWidget>

class QListWidget;

namespace qby::storeclient {

// The client's one window, titled "Quillbay": the requests received so far.
class RequestWindow : public QWidget {
    Q_OBJECT

public:
    // The window shows the latest requests only: a long-running client must not slow down as
    // requests pile up (the record on disk keeps them all).
    static constexpr int kShownRequests = 100;

    explicit RequestWindow(QWidget* parent = nullptr);

    // Brings the window in front of the user's other windows.
    void bringForward();

public slots:
    // Adds the request as one entry of "key = value" lines, dropping the oldest beyond the limit.
    void addRequest(const QString& file, const qby::storeclient::Request& request);

private:
    QListWidget* requests_;
};

}  // namespace qby::storeclient
