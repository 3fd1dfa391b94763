#pragma once

#include "downloader/ReleaseIntegrity.h"
#include "foundation/VersionComparator.h"

#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

namespace qby::downloader {

// The processor family code of Intel's Yonah (CPUFAMILY_INTEL_YONAH), the one family on which a
// release's "supportedCPUTypes" is read.
inline constexpr qint32 kCpuFamilyIntelYonah = 0x73D67300;

// One release of the store client as an entry of the release feed describes it.
struct ReleaseEntry {
    // "minimumSystemVersion"; the null text when the key is missing.
    QString minimumSystemVersion;
    // "supportedCPUTypes" as the feed holds it, whatever its type: it is read (and must be a
    // text) only on the Yonah family. Nothing when the key is missing.
    std::optional<QVariant> supportedCPUTypes;
    // "url", not yet checked; nothing when the key is missing.
    std::optional<QString> url;
    // "downloadSizeInBytes"; 0 when the key is missing.
    qint64 downloadSizeInBytes = 0;
    // "sha256" and "ed25519Signature" as the feed holds them, whatever their type: they are
    // judged once the archive is there, so that a malformed one refuses this release rather
    // than letting an older one be chosen in its place.
    ArchiveIntegrity integrity;
};

// The usable entries of the feed's "downloader" array, in feed order. An entry is skipped when it
// is not a dictionary, when "minimumSystemVersion" or "url" is present but not a text, or when
// "downloadSizeInBytes" is present but neither an integer nor a decimal text, both in the signed
// 64-bit range. A skipped entry can never be chosen; the entries after it still can.
std::vector<ReleaseEntry> readReleaseEntries(const QVariantList& entries);

// Sorts by "minimumSystemVersion", highest first; entries that compare equal keep feed order.
// The distinct version texts are ordered by a merge sort that only ever asks the comparator
// whether the right-hand text comes first, neighbours that compare equal share a rank, and the
// entries are placed by rank, stably. It ends after O(d log d) questions for d distinct texts
// and keeps every entry exactly once whatever the comparator answers, also when its answers are
// not a consistent ordering (they are not for every pair of texts). For a consistent ordering
// the result is that of a stable sort of the entries themselves.
void sortByMinimumSystemVersion(std::vector<ReleaseEntry>& entries,
                                const foundation::VersionComparator& comparator);

// The OS test (the system has reached the entry's minimum) and then the processor test (any
// family but Yonah passes without reading "supportedCPUTypes"; on Yonah the entry passes when
// that key is missing or its text contains "i386", case-sensitively).
bool releaseFits(const ReleaseEntry& entry, const QString& systemVersion, qint32 cpuFamily,
                 const foundation::VersionComparator& comparator);

// Sorts the entries, then walks them from the first: the first entry that fits is the chosen
// release; nothing when none fits.
std::optional<ReleaseEntry> chooseRelease(std::vector<ReleaseEntry> entries,
                                          const QString& systemVersion, qint32 cpuFamily,
                                          const foundation::VersionComparator& comparator);

// The local file name of a release's archive: the last component of the url's path. Nothing
// when the url is not a valid absolute "https" URL with a host, or when that component is
// empty, "." or "..": such an entry counts as having no "url".
std::optional<QString> releaseArchiveFileName(const QString& url);

}  // namespace qby::downloader
