#pragma once

#include <QString>
#include <optional>

namespace qby::platform {

// Activation option bits.
inline constexpr int kActivateAllWindows = 1;
inline constexpr int kActivateIgnoringOtherApps = 2;

// A running application of the user, as the workspace reports it.
class RunningApplication {
public:
    virtual ~RunningApplication() = default;

    // Its bundle identifier, or nothing when it has none.
    virtual std::optional<QString> bundleIdentifier() const = 0;

    // Asks the system to activate it; true when the request was accepted.
    virtual bool activateWithOptions(int options) = 0;
};

}  // namespace qby::platform
