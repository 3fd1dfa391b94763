#pragma once

#include "platform/Dispatch.h"

namespace qby::platform::linuxhost {

// Background work on Qt's global thread pool; hand-backs through the application object's event
// queue, so they run on the main thread in the order they were queued.
class LinuxDispatch : public Dispatch {
public:
    void async(std::function<void()> task) override;
    void performOnMainThread(std::function<void()> operation) override;
};

}  // namespace qby::platform::linuxhost
