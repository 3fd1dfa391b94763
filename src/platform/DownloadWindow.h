#pragma once

#include "platform/Alert.h"

#include <QString>
#include <functional>

namespace qby::platform {

// The download window loaded from the interface file "ClientDownloader": a determinate progress
// bar (mBar, 0 to 100) and a cancel control.
class DownloadWindow {
public:
    virtual ~DownloadWindow() = default;

    // Centres the window on the screen.
    virtual void center() = 0;
    // Shows the window in front and gives it the keyboard focus.
    virtual void makeKeyAndOrderFront() = 0;
    // Sets the progress bar; values outside 0 to 100 are drawn at the nearer end.
    virtual void setProgress(double percent) = 0;
    // A busy bar that shows activity without a value, for downloads of unknown length.
    virtual void setIndeterminate(bool indeterminate) = 0;
    // The line under the bar: bytes received of the total, speed, time left.
    virtual void setStatusText(const QString& text) = 0;
    // Redraws the window at once, for a main thread that stays busy afterwards.
    virtual void displayIfNeeded() = 0;
    // What the cancel control does (and the Escape key, and closing the window).
    virtual void setCancelAction(std::function<void()> action) = 0;
    // Shows the alert as a window-modal sheet; didEnd runs when it is dismissed.
    virtual void beginSheet(const Alert& alert, std::function<void()> didEnd) = 0;
};

}  // namespace qby::platform
