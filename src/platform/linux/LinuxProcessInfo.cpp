#include "platform/linux/LinuxProcessInfo.h"

#include <QUuid>
#include <unistd.h>

namespace qby::platform::linuxhost {

QString LinuxProcessInfo::globallyUniqueString() {
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return uuid + "-" + QString::number(static_cast<qint64>(getpid()), 16).toUpper();
}

}  // namespace qby::platform::linuxhost
