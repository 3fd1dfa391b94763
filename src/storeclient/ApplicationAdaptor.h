#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace qby::storeclient {

class RequestWindow;

// org.freedesktop.Application on the client's object: how the downloader brings it forward.
class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    // The adaptor belongs to the window it raises; export the window with ExportAdaptors.
    explicit ApplicationAdaptor(RequestWindow* window);

public slots:
    // Raises the window. The answer is empty: a reply at all means the activation was taken.
    void Activate(const QVariantMap& platformData);

    // The client opens no documents and has no actions; both answer success and do nothing.
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& actionName, const QVariantList& parameter,
                        const QVariantMap& platformData);

private:
    RequestWindow* window_;
};

}  // namespace qby::storeclient
