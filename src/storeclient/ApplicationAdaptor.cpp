#include "storeclient/ApplicationAdaptor.h"

#include "storeclient/RequestWindow.h"

namespace qby::storeclient {

ApplicationAdaptor::ApplicationAdaptor(RequestWindow* window)
    : QDBusAbstractAdaptor(window), window_(window) {}

void ApplicationAdaptor::Activate(const QVariantMap& /*platformData*/) {
    window_->bringForward();
}

void ApplicationAdaptor::Open(const QStringList& /*uris*/, const QVariantMap& /*platformData*/) {}

void ApplicationAdaptor::ActivateAction(const QString& /*actionName*/,
                                        const QVariantList& /*parameter*/,
                                        const QVariantMap& /*platformData*/) {}

}  // namespace qby::storeclient
