#pragma once

#include "platform/Pauses.h"
#include "platform/RunningApplication.h"

namespace qby::client {

// Activates the running application with all its windows (option bits 3) and, when wait is true,
// gives it 0.1 s to come forward. On no application it answers false at once, without a pause.
bool bringToFront(platform::RunningApplication* application, bool wait, platform::Pauses& pauses);

}  // namespace qby::client
