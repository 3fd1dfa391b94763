#pragma once

#include "foundation/DownloadRequest.h"
#include "foundation/Result.h"

#include <QString>

namespace qby::tools {

// The two forms in which a downloader carries its purchase's request. Each answers what to write,
// or why the downloader would read another request from it; the downloader's own reading rules
// decide, so that what is written is read back exactly.

// The bundle name carrying the request: Game.K7.V9.app, or Game.K7.app for an empty value. It
// carries exactly one pair, and no part of it may hold a "." (it would split the name) or a "/".
foundation::Result<QString> bundleNameCarrying(const QString& game,
                                               const foundation::DownloadRequest& request);

// The plain bundle name, Game.app, for a bundle with a request file beside it. A game name with a
// "." would make the name carry a request itself, and the request file would never be read.
foundation::Result<QString> bundleNameWithoutRequest(const QString& game);

// The request file's text: "key;value" lines joined by line feeds, with none at the end. A key
// cannot hold ";" or a line feed, nor a value, and an empty request cannot be written (an empty
// file reads as one empty key with an empty value).
foundation::Result<QString> requestFileText(const foundation::DownloadRequest& request);

}  // namespace qby::tools
