#pragma once

#include "platform/PropertyLists.h"

#include <QByteArray>
#include <QVariantList>
#include <optional>

namespace qby::downloader {

// The release entries of the feed (its root dictionary's "downloader" array), or nothing when the
// feed cannot be used: no data, empty data, not a property list, a root that is no dictionary, or
// a "downloader" value that is missing or no array.
std::optional<QVariantList> releaseEntriesOfFeed(const std::optional<QByteArray>& data,
                                                 const platform::PropertyLists& propertyLists);

}  // namespace qby::downloader
