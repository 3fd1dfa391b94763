#pragma once

#include "platform/ProcessInfo.h"

namespace qby::platform::linuxhost {

// Unique tokens: a random (version 4) UUID in upper case, a "-" and this process's id in hex.
class LinuxProcessInfo : public ProcessInfo {
public:
    QString globallyUniqueString() override;
};

}  // namespace qby::platform::linuxhost
