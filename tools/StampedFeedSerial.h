#pragma once

#include "foundation/Result.h"

#include <QString>

namespace qby::tools {

// The "feedSerial" of the release feed at path, read as the downloader reads the feed: the
// floor below which a downloader stamped with it refuses every feed. Refused: a file that is no
// feed the downloader takes, or one without a serial (a feed not written by qby-release-feed).
foundation::Result<qint64> feedSerialOfFile(const QString& path);

// Writes serial into the bundle's Resources folder, where the downloader looks for its floor.
foundation::Status writeFeedSerial(const QString& bundle, qint64 serial);

}  // namespace qby::tools
