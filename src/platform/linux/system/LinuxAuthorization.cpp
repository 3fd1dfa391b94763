#include "platform/linux/system/LinuxAuthorization.h"

#include <QDir>
#include <QProcess>

namespace qby::platform::linuxhost {

namespace {

constexpr int kDismissed = 126;
constexpr int kNotAuthorized = 127;

}  // namespace

LinuxAuthorization::LinuxAuthorization(QString pkexecPath) : pkexecPath_(std::move(pkexecPath)) {}

foundation::Result<int> LinuxAuthorization::executeWithPrivileges(const QString& toolPath,
                                                                  const QStringList& arguments) {
    // A relative name would be looked up in places the user controls, and "-x" would read as an
    // option of pkexec.
    if (!QDir::isAbsolutePath(toolPath)) {
        return foundation::Error{kCannotStart,
                                 QStringLiteral("Not an absolute tool path: %1").arg(toolPath)};
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    // pkexec moves to the administrator's home anyway; until then, nowhere others may write.
    process.setWorkingDirectory(QStringLiteral("/"));
    process.start(pkexecPath_, QStringList{toolPath} + arguments);
    if (!process.waitForStarted(-1)) {
        return foundation::Error{kCannotStart,
                                 QStringLiteral("%1: %2").arg(pkexecPath_, process.errorString())};
    }
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit) {
        return foundation::Error{kCannotStart,
                                 QStringLiteral("%1 ended abnormally").arg(pkexecPath_)};
    }
    const int status = process.exitCode();
    if (status == kDismissed || status == kNotAuthorized) {
        return foundation::Error{
            kConsentRefused,
            QStringLiteral("The administrator's consent to run %1 was not given (%2)")
                .arg(toolPath)
                .arg(status)};
    }
    return status;
}

}  // namespace qby::platform::linuxhost
