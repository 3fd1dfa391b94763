#pragma once

#include "foundation/Result.h"
#include "platform/ArchiveTools.h"
#include "platform/PropertyLists.h"

#include <QByteArray>
#include <QString>
#include <QVariantList>
#include <optional>

namespace qby::downloader {

// The code of every reason below.
inline constexpr int kFeedUnusable = 1;

// The release entries of a feed's bytes: the "downloader" array of a property list whose root
// is a dictionary; or why the feed cannot be used: no or empty bytes, no property list, another
// root, or "downloader" missing or not an array.
// A feed that could not be read names readFailure, the read's own error, as the reason.
foundation::Result<QVariantList> releaseEntriesOfFeed(const std::optional<QByteArray>& data,
                                                      const platform::PropertyLists& propertyLists,
                                                      const QString& readFailure = {});

// How a release archive is unpacked, by its file name: "tgz" as the last extension is tar with
// gzip, anything else is zip.
platform::ArchiveFormat archiveFormatOf(const QString& fileName);

}  // namespace qby::downloader
