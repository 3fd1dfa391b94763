#include "platform/linux/system/LinuxClock.h"

#include <ctime>

namespace qby::platform::linuxhost {

qint64 LinuxClock::monotonicMilliseconds() const {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<qint64>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

qint64 LinuxClock::secondsSinceEpoch() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<qint64>(now.tv_sec);
}

}  // namespace qby::platform::linuxhost
