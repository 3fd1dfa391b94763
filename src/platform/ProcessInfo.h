#pragma once

#include <QString>

namespace qby::platform {

class ProcessInfo {
public:
    virtual ~ProcessInfo() = default;

    // A text unique across machines, processes and calls; never holds "." or "/".
    virtual QString globallyUniqueString() = 0;
};

}  // namespace qby::platform
