#pragma once

#include <QtGlobal>

namespace qby::platform {

// Blocking pauses of the calling thread.
class Pauses {
public:
    virtual ~Pauses() = default;
    virtual void sleep(unsigned seconds) = 0;
    virtual void usleep(quint64 microseconds) = 0;
};

}  // namespace qby::platform
