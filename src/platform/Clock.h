#pragma once

#include <QtGlobal>

namespace qby::platform {

// A monotonic clock, for rates and for limiting how often the window is updated; and the wall
// clock, for dates such as the release feed's expiry.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 monotonicMilliseconds() const = 0;
    // Seconds since 1970-01-01T00:00:00Z by the system's clock.
    virtual qint64 secondsSinceEpoch() const = 0;
};

}  // namespace qby::platform
