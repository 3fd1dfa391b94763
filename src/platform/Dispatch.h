#pragma once

#include <functional>

namespace qby::platform {

// The background queue and the hand-back to the main thread.
class Dispatch {
public:
    virtual ~Dispatch() = default;

    // Runs the task on a shared background thread; returns at once.
    virtual void async(std::function<void()> task) = 0;

    // Queues the operation on the main thread's event loop without waiting for it. Safe to call
    // from any thread.
    virtual void performOnMainThread(std::function<void()> operation) = 0;
};

}  // namespace qby::platform
