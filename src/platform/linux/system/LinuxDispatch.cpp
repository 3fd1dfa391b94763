#include "platform/linux/system/LinuxDispatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>

namespace qby::platform::linuxhost {

void LinuxDispatch::async(std::function<void()> task) {
    QThreadPool::globalInstance()->start(std::move(task));
}

void LinuxDispatch::performOnMainThread(std::function<void()> operation) {
    // The application object lives in the main thread: a queued call on it runs there, and
    // posting an event is safe from any thread. Without an application there is no main loop
    // to run it, and the operation is dropped.
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) return;
    QMetaObject::invokeMethod(application, std::move(operation), Qt::QueuedConnection);
}

}  // namespace qby::platform::linuxhost
