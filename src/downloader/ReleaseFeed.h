#pragma once

#include "platform/ArchiveTools.h"
#include "platform/PropertyLists.h"

#include <QByteArray>
#include <QString>
#include <QVariantList>
#include <optional>

namespace qby::downloader {

// The release entries of a feed's bytes: the "downloader" array of a property list whose root
// is a dictionary. Nothing when the feed cannot be used: no or empty bytes, no property list,
// another root, or "downloader" missing or not an array.
std::optional<QVariantList> releaseEntriesOfFeed(const std::optional<QByteArray>& data,
                                                 const platform::PropertyLists& propertyLists);

// How a release archive is unpacked, by its file name: "tgz" as the last extension is tar with
// gzip, anything else is zip.
platform::ArchiveFormat archiveFormatOf(const QString& fileName);

}  // namespace qby::downloader
