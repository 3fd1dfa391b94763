#pragma once

#include "foundation/Result.h"
#include "platform/Pauses.h"
#include "platform/UrlLoader.h"

#include <QByteArray>
#include <QUrl>
#include <atomic>

namespace qby::downloader {

// The release feed read up to three times over about five seconds when the connection drops or
// the server is busy, so that a moment's trouble does not end the road. Any other failure, and
// a cancel noticed between tries, ends the reading at once. Blocks the calling thread.
foundation::Result<QByteArray> readFeedWithRetries(platform::UrlLoader& loader,
                                                   platform::Pauses& pauses, const QUrl& url,
                                                   qint64 maxBytes,
                                                   const std::atomic<bool>& cancelled);

}  // namespace qby::downloader
