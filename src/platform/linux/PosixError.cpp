#include "platform/linux/PosixError.h"

#include <QtGlobal>

namespace qby::platform::linuxhost {

Error PosixError::at(int code, const QString& path) {
    return Error{code, QStringLiteral("%1: %2").arg(qt_error_string(code), path)};
}

}  // namespace qby::platform::linuxhost
