#include "platform/linux/system/LinuxProcessInfo.h"

#include <QUuid>
#include <unistd.h>

namespace qby::platform::linuxhost {

QString LinuxProcessInfo::globallyUniqueString() {
    return uuidString() + "-" + QString::number(static_cast<qint64>(getpid()), 16).toUpper();
}

QString LinuxProcessInfo::uuidString() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

}  // namespace qby::platform::linuxhost
