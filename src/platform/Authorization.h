#pragma once

#include "foundation/Result.h"

#include <QString>
#include <QStringList>

namespace qby::platform {

// Tools run with an administrator's rights after the administrator's interactive consent.
class Authorization {
public:
    // Error codes of executeWithPrivileges.
    static constexpr int kConsentRefused = 1;  // the user refused or dismissed the prompt
    static constexpr int kCannotStart = 2;     // no mechanism, or the tool could not be started

    virtual ~Authorization() = default;

    // Asks for consent, runs the tool (an absolute path) with the arguments as a vector, and
    // waits for it to end. Answers the tool's exit status, or an error with one of the codes above.
    virtual foundation::Result<int> executeWithPrivileges(const QString& toolPath,
                                                          const QStringList& arguments) = 0;
};

}  // namespace qby::platform
