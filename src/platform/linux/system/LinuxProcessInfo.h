#pragma once

#include "platform/ProcessInfo.h"

namespace qby::platform::linuxhost {

// Unique tokens: a random (version 4) UUID in upper case, a "-" and this process's id in hex;
// UUIDs alone in upper case.
class LinuxProcessInfo : public ProcessInfo {
public:
    QString globallyUniqueString() override;
    QString uuidString() override;
};

}  // namespace qby::platform::linuxhost
