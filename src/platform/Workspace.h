#pragma once

#include "foundation/Result.h"
#include "platform/RunningApplication.h"

#include <QString>
#include <QUrl>
#include <memory>
#include <optional>
#include <vector>

namespace qby::platform {

// What a launch answered: the launched application, or why it could not start (an errno value
// and a sentence naming the file concerned).
using LaunchResult = foundation::Result<std::shared_ptr<RunningApplication>>;

// The user's applications: the registry by bundle identifier, the running ones, launching, URLs.
class Workspace {
public:
    virtual ~Workspace() = default;

    // The path of an application bundle registered under the identifier, or nothing.
    virtual std::optional<QString> absolutePathForAppBundleWithIdentifier(
        const QString& bundleIdentifier) = 0;

    // The user's running applications, in the platform's order.
    virtual std::vector<std::shared_ptr<RunningApplication>> runningApplications() = 0;

    // Starts the bundle's executable asynchronously, with no arguments.
    virtual LaunchResult launchApplication(const QString& bundlePath) = 0;

    // Opens the address in the user's web browser; true when it was handed over.
    virtual bool openURL(const QUrl& url) = 0;
};

}  // namespace qby::platform
