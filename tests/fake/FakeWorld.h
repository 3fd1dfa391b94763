#pragma once

#include "FakeInstallServices.h"
#include "FakePlatform.h"
#include "app/QBY_DownloaderAppDelegate.h"
#include "client/HandOffFlag.h"
#include "client/QBYClientProxy.h"
#include "foundation/SystemInfo.h"

#include <memory>
#include <optional>
#include <string>

namespace qby::fake {

// The fake platform with the logic of one run of the downloader built on it: the system
// information, the client proxy and the application delegate, whose clean-up runs when the
// application terminates. Script the platform, then drive whichever piece the test is about.
class FakeWorld {
public:
    FakeWorld();
    FakeWorld(const FakeWorld&) = delete;
    FakeWorld& operator=(const FakeWorld&) = delete;

    // A running application that records its activations in the platform's log under name.
    std::shared_ptr<FakeRunningApplication> application(std::optional<QString> bundleIdentifier,
                                                        const char* name,
                                                        bool acceptsActivation = true);
    // The store client, running.
    std::shared_ptr<FakeRunningApplication> client(const char* name, bool acceptsActivation = true);
    // Every call so far, one a line, for failing tests to print.
    std::string calls() const { return platform.log.toString().toStdString(); }

    FakePlatform platform;
    foundation::SystemInfo systemInfo{platform};
    client::QBYClientProxy proxy;
    client::HandOffFlag handOff;
    FakeInstallServices install{platform};
    app::QBY_DownloaderAppDelegate delegate;
};

}  // namespace qby::fake
