#pragma once

#include "platform/Application.h"

#include <QString>
#include <functional>

namespace qby::platform::linuxhost {

// The application object on a QApplication: modal alerts as QMessageBox, activation by raising
// the application's windows, and the end of the process right after the termination handler.
class LinuxApplication : public Application {
public:
    explicit LinuxApplication(QString applicationName = QStringLiteral("Quillbay Downloader"));

    void activateIgnoringOtherApps(bool flag) override;
    int runModal(const Alert& alert) override;
    void terminate() override;
    void setTerminationHandler(std::function<void()> handler) override;

private:
    QString applicationName_;
    bool activated_ = false;
    bool terminating_ = false;
    std::function<void()> terminationHandler_;
};

}  // namespace qby::platform::linuxhost
