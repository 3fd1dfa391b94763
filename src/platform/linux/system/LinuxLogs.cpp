#include "platform/linux/system/LinuxLogs.h"

#include <QDateTime>
#include <cstdio>
#include <syslog.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

LinuxLogs::LinuxLogs() {
    openlog("QuillbayDownloader", LOG_PID, LOG_USER);
}

void LinuxLogs::syslog(int priority, const QString& message) {
    // The message is data, never a format.
    ::syslog(LOG_USER | (priority & LOG_PRIMASK), "%s", message.toUtf8().constData());
}

void LinuxLogs::consoleLog(const QString& line) {
    // One line per call, whatever the text holds, written in one piece.
    QString flat = line;
    flat.replace('\\', "\\\\").replace('\n', "\\n").replace('\r', "\\r");
    const QByteArray text = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8() +
                            " QuillbayDownloader[" + QByteArray::number(getpid()) + "] " +
                            flat.toUtf8() + "\n";
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
    std::fflush(stderr);
}

}  // namespace qby::platform::linuxhost
