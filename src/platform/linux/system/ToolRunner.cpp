#include "platform/linux/system/ToolRunner.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <cerrno>

namespace qby::platform::linuxhost {

namespace {

constexpr qsizetype kKeptErrorBytes = 4096;
constexpr int kUnzipDiskFull = 50;

foundation::Error failure(int code, const QString& tool, const QString& what) {
    return foundation::Error{code, QStringLiteral("%1: %2").arg(tool, what)};
}

}  // namespace

foundation::Result<ToolRunner::Outcome> ToolRunner::run(const QString& tool,
                                                        const QStringList& arguments,
                                                        const QString& workingFolder,
                                                        qint64 maxOutputBytes) {
    const QString program = locate(tool);
    if (program.isEmpty()) return failure(ENOENT, tool, QStringLiteral("not installed"));

    QProcess process;
    process.setEnvironment(environment());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setWorkingDirectory(workingFolder);
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) return failure(EIO, tool, process.errorString());

    Outcome outcome;
    while (process.waitForReadyRead(-1)) {
        outcome.output += process.readAllStandardOutput();
        if (outcome.output.size() > maxOutputBytes) {
            process.kill();
            process.waitForFinished(-1);
            return failure(E2BIG, tool, QStringLiteral("too much output"));
        }
    }
    process.waitForFinished(-1);
    outcome.output += process.readAllStandardOutput();
    if (outcome.output.size() > maxOutputBytes) {
        return failure(E2BIG, tool, QStringLiteral("too much output"));
    }
    outcome.errors = process.readAllStandardError().left(kKeptErrorBytes);
    if (process.exitStatus() != QProcess::NormalExit) {
        return failure(EIO, tool, QStringLiteral("ended abnormally"));
    }
    outcome.exitCode = process.exitCode();
    return outcome;
}

foundation::Error ToolRunner::exitError(const QString& tool, const Outcome& outcome) {
    const QString said = QString::fromUtf8(outcome.errors).trimmed();
    // A full disk is told apart from other failures: tar says so in the C locale's words,
    // unzip by its status 50.
    const bool diskFull = said.contains(QLatin1String("No space left on device")) ||
                          (tool == QLatin1String("unzip") && outcome.exitCode == kUnzipDiskFull);
    return foundation::Error{
        diskFull ? ENOSPC : outcome.exitCode,
        QStringLiteral("%1 exited with status %2: %3").arg(tool).arg(outcome.exitCode).arg(said)};
}

QString ToolRunner::locate(const QString& tool) {
    return QStandardPaths::findExecutable(tool,
                                          {QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
}

QStringList ToolRunner::environment() {
    // A fixed environment, nothing of the user's: tar and unzip take options from variables
    // (TAR_OPTIONS, UNZIP, UNZIPOPT, ZIPINFO, GZIP) and tar finds gzip through PATH, any of which
    // could change what is listed or where it is unpacked. The listings are parsed, so their
    // wording must not depend on the user's language either. Only the loader's search path
    // stays: where a system keeps its libraries elsewhere, its own tools need it to start at all.
    QStringList entries{QStringLiteral("PATH=/usr/bin:/bin"), QStringLiteral("LC_ALL=C")};
    const QString loaderPath = QProcessEnvironment::systemEnvironment().value("LD_LIBRARY_PATH");
    if (!loaderPath.isEmpty()) entries.append(QStringLiteral("LD_LIBRARY_PATH=") + loaderPath);
    return entries;
}

}  // namespace qby::platform::linuxhost
