#pragma once

#include "foundation/Result.h"

#include <QString>

namespace qby::platform::linuxhost {

// The error of a failed system call: the errno as code, its description and the path it
// concerned as the message.
class PosixError {
public:
    static foundation::Error at(int code, const QString& path);
};

}  // namespace qby::platform::linuxhost
