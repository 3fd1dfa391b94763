#pragma once

#include <QString>

namespace qby::platform {

class ProcessInfo {
public:
    virtual ~ProcessInfo() = default;

    // A text unique across machines, processes and calls; never holds "." or "/".
    virtual QString globallyUniqueString() = 0;

    // A new UUID in its canonical upper-case form (8-4-4-4-12 hexadecimal digits).
    virtual QString uuidString() = 0;
};

}  // namespace qby::platform
