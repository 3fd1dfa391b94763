#pragma once

#include "foundation/SystemInfo.h"
#include "platform/Bundle.h"
#include "platform/FileManager.h"

namespace qby::app {

// The archive the store delivered the bundle in: Game.K7.V9.app gives Game.K7.V9.zip beside it.
QString archiveBesideBundle(const QString& bundlePath);

// After a hand-off the downloader removes its own bundle and the archive beside it. When the
// bundle lies on a read-only file system, the copies in the user's Downloads folder go instead
// (systems 10.12 and newer). Only a *.app bundle folder is ever removed.
void removeDownloaderFiles(const platform::Bundle& bundle, platform::FileManager& fileManager,
                           foundation::SystemInfo& systemInfo);

}  // namespace qby::app
