#pragma once

#include "foundation/Result.h"

#include <QString>

namespace qby::platform::linuxhost {

// Puts a new tree in the place of an old one so that, whenever the process is stopped, the place
// holds either the whole old tree or the whole new one: the new tree is staged beside the place
// under a hidden name (renamed, or copied across file systems), its file system synced, and the
// two swapped in one step (RENAME_EXCHANGE). Replaces into one folder are serialised by a lock
// on that folder, so that two of them at once each swap in a whole tree.
//
// Hidden names beside the place: ".NAME.new-ID" (staged, or the old tree after the swap) and
// ".NAME.old-ID" (the old tree set aside where the file system cannot exchange). The next
// replace sweeps them away; an old tree whose place stands empty is put back first.
class ItemReplacer {
public:
    // source's tree at destination; the source is gone afterwards. On failure the destination
    // holds what it held before, and nothing staged is left. ENOSPC when the disk fills up.
    static foundation::Status replace(const QString& source, const QString& destination);
};

}  // namespace qby::platform::linuxhost
