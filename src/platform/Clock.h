#pragma once

#include <QtGlobal>

namespace qby::platform {

// A monotonic clock, for rates and for limiting how often the window is updated.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 monotonicMilliseconds() const = 0;
};

}  // namespace qby::platform
