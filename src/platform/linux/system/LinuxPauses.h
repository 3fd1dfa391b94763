#pragma once

#include "platform/Pauses.h"

namespace qby::platform::linuxhost {

// Real pauses of the calling thread; a signal does not cut them short.
class LinuxPauses : public Pauses {
public:
    void sleep(unsigned seconds) override;
    void usleep(quint64 microseconds) override;
};

}  // namespace qby::platform::linuxhost
