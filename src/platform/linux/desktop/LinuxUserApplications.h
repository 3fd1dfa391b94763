#pragma once

#include "platform/UserApplications.h"

namespace qby::platform::linuxhost {

// The home folder from the session, and desktop entries in the user's applications folder
// (~/.local/share/applications), in the same format as the system install's.
class LinuxUserApplications : public UserApplications {
public:
    QString homeDirectory() const override;
    foundation::Status registerDesktopEntry(const QString& bundlePath) override;
};

}  // namespace qby::platform::linuxhost
