#pragma once

#include "foundation/Result.h"
#include "platform/linux/system/ToolRunner.h"

#include <QString>
#include <QStringList>
#include <sys/types.h>

namespace qby::platform::linuxhost {

// Runs one of the system's command line tools as ToolRunner does (found in /usr/bin or /bin, the
// same fixed environment, no shell) with its standard input a pipe that we write to; its output
// goes nowhere and the start of its standard error is kept. A tool still running when this object
// goes is killed and reaped.
class PipedTool {
public:
    PipedTool() = default;
    PipedTool(const PipedTool&) = delete;
    PipedTool& operator=(const PipedTool&) = delete;
    ~PipedTool();

    // Errors: ENOENT when the tool is not there, the errno of a failed start.
    foundation::Status start(const QString& tool, const QStringList& arguments,
                             const QString& workingFolder);
    // Writes all the bytes to the tool's input, reading its standard error meanwhile so that
    // neither side waits for the other. EPIPE when the tool no longer reads.
    foundation::Status write(const char* data, qsizetype size);
    // Ends its input and waits for it; EIO when it was killed.
    foundation::Result<ToolRunner::Outcome> finish();
    // Ends its input, kills it and reaps it.
    void stop();

private:
    bool readErrors();
    void closeInput();

    QString tool_;
    pid_t pid_ = -1;
    int input_ = -1;
    int errors_ = -1;
    QByteArray keptErrors_;
};

}  // namespace qby::platform::linuxhost
