#pragma once

#include "storeclient/NotificationParser.h"

#include <QWidget>

class QListWidget;

namespace qby::storeclient {

// The client's one window, titled "Quillbay": the requests received so far.
class RequestWindow : public QWidget {
    Q_OBJECT

public:
    explicit RequestWindow(QWidget* parent = nullptr);

    // Brings the window in front of the user's other windows.
    void bringForward();

public slots:
    // Adds the request as one entry of "key = value" lines.
    void addRequest(const QString& file, const qby::storeclient::Request& request);

private:
    QListWidget* requests_;
};

}  // namespace qby::storeclient
