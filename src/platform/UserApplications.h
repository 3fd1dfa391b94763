#pragma once

#include "foundation/Result.h"

#include <QString>

namespace qby::platform {

// The user's own place for applications, used where the user may not write the system's folder,
// and the entries that put an installed application into the user's menus.
class UserApplications {
public:
    virtual ~UserApplications() = default;

    // The user's home folder (absolute).
    virtual QString homeDirectory() const = 0;

    // Writes, or replaces, the user's desktop entry of the bundle installed at bundlePath: its
    // name, executable and icon from the bundle's Info.plist.
    virtual foundation::Status registerDesktopEntry(const QString& bundlePath) = 0;
};

}  // namespace qby::platform
