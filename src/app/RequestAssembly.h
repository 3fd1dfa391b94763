#pragma once

#include "foundation/DownloadRequest.h"
#include "platform/Bundle.h"
#include "platform/FileManager.h"
#include "platform/Logs.h"

namespace qby::app {

// A request file larger than this is not read (it cannot be a real request); it is still consumed.
inline constexpr qint64 kMaxRequestFileBytes = 1024 * 1024;

// Parses request-file text: lines split at "\n", fields at ";", first field the key, second the
// value ("" without ";"), later lines win. No trimming: a "\r" stays part of the line.
void addRequestLines(const QString& text, foundation::DownloadRequest& request);

// Builds the launch's request from the bundle name (Game.K7.V9.app gives K7 = V9), else from the
// request file beside the bundle (.Game.txt, then Game.txt), which is consumed, else from the
// bundle's own en.lproj/locversion.plist resource.
foundation::DownloadRequest assembleDownloadRequest(const platform::Bundle& bundle,
                                                    platform::FileManager& fileManager,
                                                    platform::Logs& logs);

}  // namespace qby::app
