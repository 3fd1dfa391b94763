#pragma once

#include "platform/Clock.h"

namespace qby::platform::linuxhost {

// CLOCK_MONOTONIC: unaffected by changes of the wall clock.
class LinuxClock : public Clock {
public:
    qint64 monotonicMilliseconds() const override;
};

}  // namespace qby::platform::linuxhost
