#include "platform/linux/files/PosixError.h"

#include <QtGlobal>

namespace qby::platform::linuxhost {

foundation::Error PosixError::at(int code, const QString& path) {
    return foundation::Error{code, QStringLiteral("%1: %2").arg(qt_error_string(code), path)};
}

}  // namespace qby::platform::linuxhost
