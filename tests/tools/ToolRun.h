#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace qby::tools {

// One run of a command line tool: its status and what it wrote.
struct ToolRun {
    int status = -1;
    QByteArray output;
    QString errors;

    static ToolRun of(const QString& tool, const QStringList& arguments) {
        QProcess process;
        process.start(tool, arguments);
        process.waitForFinished(60000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
    }
};

}  // namespace qby::tools
