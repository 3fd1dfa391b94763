#pragma once

#include "platform/Clock.h"

namespace qby::platform::linuxhost {

// CLOCK_MONOTONIC: unaffected by changes of the wall clock; and CLOCK_REALTIME.
class LinuxClock : public Clock {
public:
    qint64 monotonicMilliseconds() const override;
    qint64 secondsSinceEpoch() const override;
};

}  // namespace qby::platform::linuxhost
