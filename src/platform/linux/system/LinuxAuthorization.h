#pragma once

#include "platform/Authorization.h"

namespace qby::platform::linuxhost {

// Runs tools as the administrator through polkit's pkexec, which asks for consent with the
// session's authentication agent.
class LinuxAuthorization : public Authorization {
public:
    explicit LinuxAuthorization(QString pkexecPath = QStringLiteral("/usr/bin/pkexec"));

    // pkexec's own 126 (prompt dismissed) and 127 (not authorized, no agent) are refusals. A
    // tool that itself exits 126 or 127 reads the same: pkexec does not tell them apart.
    foundation::Result<int> executeWithPrivileges(const QString& toolPath,
                                                  const QStringList& arguments) override;

private:
    QString pkexecPath_;
};

}  // namespace qby::platform::linuxhost
