#pragma once

#include "foundation/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qby::platform::linuxhost {

// Runs one of the system's command line tools directly (no shell), with nothing on its input and
// an environment of its own (PATH=/usr/bin:/bin, LC_ALL=C, the loader's LD_LIBRARY_PATH, nothing
// else), and waits for it to end.
class ToolRunner {
public:
    struct Outcome {
        int exitCode = 0;
        QByteArray output;  // what it wrote to standard output
        QByteArray errors;  // the start of what it wrote to standard error
    };

    // The tool is looked up in /usr/bin and /bin only: never in the working folder, which may
    // hold what a server sent. Errors: ENOENT when the tool is not there, E2BIG when it writes
    // more than maxOutputBytes (it is stopped), EIO when it cannot start or is killed.
    static foundation::Result<Outcome> run(const QString& tool, const QStringList& arguments,
                                           const QString& workingFolder, qint64 maxOutputBytes);

    // The error of a tool that exited with a status other than 0: status and standard error;
    // ENOSPC as its code when the tool ran out of disk space, else the status.
    static foundation::Error exitError(const QString& tool, const Outcome& outcome);

    // The tool's path in /usr/bin or /bin; empty when it is in neither.
    static QString locate(const QString& tool);
    // The environment every tool gets, as NAME=value entries.
    static QStringList environment();
};

}  // namespace qby::platform::linuxhost
