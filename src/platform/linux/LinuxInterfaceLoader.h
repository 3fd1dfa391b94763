#pragma once

#include "platform/InterfaceLoader.h"

#include <QString>
#include <memory>
#include <vector>

namespace qby::platform::linuxhost {

class LinuxDownloadWindow;

// Loads Qt Designer interface files (<name>.ui) from the bundle's resources folder at run time.
class LinuxInterfaceLoader : public InterfaceLoader {
public:
    explicit LinuxInterfaceLoader(QString resourcesPath);
    ~LinuxInterfaceLoader() override;

    // Nothing when the file is missing, unreadable, too large, broken, or lacks the progress
    // bar "mBar", the label "statusLabel" or the button "cancelButton".
    DownloadWindow* loadDownloadWindow(const QString& name) override;

private:
    QString resourcesPath_;
    std::vector<std::unique_ptr<LinuxDownloadWindow>> windows_;
};

}  // namespace qby::platform::linuxhost
