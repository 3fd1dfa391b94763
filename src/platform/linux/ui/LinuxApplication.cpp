#include "LinuxApplication.h"

#include "AlertMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace qby::platform::linuxhost {

LinuxApplication::LinuxApplication(QString applicationName)
    : applicationName_(std::move(applicationName)) {
    // Only terminate() ends this application: an alert closing while no other window is open
    // must not end the event loop behind the launch sequence's back.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        app->setQuitOnLastWindowClosed(false);
    }
}

void LinuxApplication::activateIgnoringOtherApps(bool flag) {
    Q_UNUSED(flag);  // there is no other application to yield to on this platform
    activated_ = true;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            window->raise();
            window->activateWindow();
        }
    }
}

int LinuxApplication::runModal(const Alert& alert) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // No alert can be shown without a widget application; answer as the last button, the
        // one that quits, rather than going on as if the user had agreed.
        return kAlertFirstButtonReturn +
               static_cast<int>(qMax<qsizetype>(alert.buttonTitles.size() - 1, 0));
    }
    QMessageBox box;
    AlertMessageBox::fill(box, alert, applicationName_);
    if (activated_) {
        // Once the application has been brought forward, its alerts come up in front too.
        QTimer::singleShot(0, &box, [&box] {
            box.raise();
            box.activateWindow();
        });
    }
    box.exec();
    return AlertMessageBox::response(box);
}

void LinuxApplication::terminate() {
    if (terminating_) {
        return;  // the termination handler itself asked again
    }
    terminating_ = true;
    if (terminationHandler_) {
        terminationHandler_();
    }
    // The process ends here, as an application's terminate does: nothing of the caller's runs
    // afterwards. Every file has been written and synced and every bus message delivered by
    // now; skipping Qt's teardown saves a third of the downloader's run time.
    std::fflush(nullptr);
    std::_Exit(0);
}

void LinuxApplication::setTerminationHandler(std::function<void()> handler) {
    terminationHandler_ = std::move(handler);
}

}  // namespace qby::platform::linuxhost
