#include "platform/linux/LinuxLogs.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <cstdio>

namespace qby::platform::linuxhost {
namespace {

// What the calls write to standard error.
QByteArray captureStandardError(const std::function<void()>& calls) {
    QTemporaryFile file;
    if (!file.open()) return {};
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(file.handle(), STDERR_FILENO);
    calls();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    file.seek(0);
    return file.readAll();
}

TEST(LinuxLogsTest, ConsoleLinesCarryTimeNameAndPidOneLineEach) {
    LinuxLogs logs;
    const QByteArray written = captureStandardError([&] {
        logs.consoleLog("Dict: {title = abc; lang = en}");
        logs.consoleLog("Dict: {a = b\nforged line\r}");
        logs.consoleLog("%s%n%d");
    });
    const QList<QByteArray> lines = written.split('\n');
    ASSERT_EQ(lines.size(), 4) << written.toStdString();  // three lines and the empty end
    const QString prefix =
        "\\A\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\S* "
        "QuillbayDownloader\\[" +
        QString::number(getpid()) + "\\] ";
    const QStringList bodies{"Dict: \\{title = abc; lang = en\\}",
                             "Dict: \\{a = b\\\\nforged line\\\\r\\}", "%s%n%d"};
    for (int i = 0; i < 3; ++i) {
        const QRegularExpression form(prefix + bodies[i] + "\\z");
        EXPECT_TRUE(form.match(QString::fromUtf8(lines[i])).hasMatch()) << lines[i].toStdString();
    }
}

}  // namespace
}  // namespace qby::platform::linuxhost
