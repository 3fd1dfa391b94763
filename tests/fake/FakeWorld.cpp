#include "FakeWorld.h"

#include "client/ClientIdentity.h"

namespace qby::fake {

FakeWorld::FakeWorld()
    : proxy({platform, platform, platform, platform, platform, platform, systemInfo, platform}),
      delegate(platform.services(), proxy, systemInfo, handOff, install.services()) {
    platform.setTerminationHandler([this] { delegate.applicationWillTerminate(); });
}

std::shared_ptr<FakeRunningApplication> FakeWorld::application(
    std::optional<QString> bundleIdentifier, const char* name, bool acceptsActivation) {
    return std::make_shared<FakeRunningApplication>(platform.log, std::move(bundleIdentifier),
                                                    QString::fromLatin1(name), acceptsActivation);
}

std::shared_ptr<FakeRunningApplication> FakeWorld::client(const char* name,
                                                          bool acceptsActivation) {
    return application(client::kClientBundleIdentifier, name, acceptsActivation);
}

}  // namespace qby::fake
