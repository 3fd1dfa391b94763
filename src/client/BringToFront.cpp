#include "client/BringToFront.h"

namespace qby::client {

bool bringToFront(platform::RunningApplication* application, bool wait, platform::Pauses& pauses) {
    if (application == nullptr) return false;
    const bool accepted = application->activateWithOptions(platform::kActivateAllWindows |
                                                           platform::kActivateIgnoringOtherApps);
    if (wait) pauses.usleep(100000);
    return accepted;
}

}  // namespace qby::client
