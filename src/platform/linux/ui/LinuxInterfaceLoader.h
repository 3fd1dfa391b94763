#pragma once

#include "platform/InterfaceLoader.h"

#include <QString>
#include <memory>
#include <vector>

namespace qby::platform::linuxhost {

class LinuxDownloadWindow;

// Builds the windows whose Qt Designer descriptions (resources/<name>.ui) were compiled into the
// program at build time: nothing is read from disk, so the window cannot go missing or break.
class LinuxInterfaceLoader : public InterfaceLoader {
public:
    LinuxInterfaceLoader();
    ~LinuxInterfaceLoader() override;

    // A fresh "ClientDownloader" window; nothing for any other name, or without a widget
    // application.
    DownloadWindow* loadDownloadWindow(const QString& name) override;

private:
    std::vector<std::unique_ptr<LinuxDownloadWindow>> windows_;
};

}  // namespace qby::platform::linuxhost
