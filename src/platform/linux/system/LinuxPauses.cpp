#include "platform/linux/system/LinuxPauses.h"

#include <cerrno>
#include <ctime>

namespace qby::platform::linuxhost {

namespace {

void pause(quint64 microseconds) {
    timespec remaining{static_cast<time_t>(microseconds / 1'000'000),
                       static_cast<long>((microseconds % 1'000'000) * 1000)};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

}  // namespace

void LinuxPauses::sleep(unsigned seconds) {
    pause(static_cast<quint64>(seconds) * 1'000'000);
}

void LinuxPauses::usleep(quint64 microseconds) {
    pause(microseconds);
}

}  // namespace qby::platform::linuxhost
