#pragma once

#include "platform/DownloadWindow.h"

#include <QString>

namespace qby::platform {

// Loads interface files from the bundle's resources at run time.
class InterfaceLoader {
public:
    virtual ~InterfaceLoader() = default;

    // Loads the download window described by the interface file (name without extension).
    // Nothing when the file is missing or broken. The loader keeps ownership of the window.
    virtual DownloadWindow* loadDownloadWindow(const QString& name) = 0;
};

}  // namespace qby::platform
