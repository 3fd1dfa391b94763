#pragma once

#include "platform/Alert.h"

#include <functional>

namespace qby::platform {

// The application object: activation, modal alerts and the end of the process.
class Application {
public:
    virtual ~Application() = default;

    // Brings this application to the front, even while another one is active when flag is true.
    virtual void activateIgnoringOtherApps(bool flag) = 0;

    // Shows the alert, blocks until a button is pressed and answers 1000 plus that button's index.
    virtual int runModal(const Alert& alert) = 0;

    // Asks the application to end: the termination handler runs once, then the process ends.
    // Callers return right after calling it; nothing of theirs may run afterwards.
    virtual void terminate() = 0;

    // What terminate() runs before the process ends (the delegate's termination clean-up).
    virtual void setTerminationHandler(std::function<void()> handler) = 0;
};

}  // namespace qby::platform
