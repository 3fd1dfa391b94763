#pragma once

#include "foundation/Result.h"

#include <QByteArray>

namespace qby::platform::linuxhost {

// Copies a file, a link or a folder tree to a destination that must not exist yet. Links are
// copied as links, never followed; permission bits (set-id and executable bits included) and
// modification times are kept, so are holes in files and hard links between files of the tree.
// Items other than files, folders and links are refused (ENOTSUP).
// On failure everything the copy created is removed again.
class TreeCopier {
public:
    static foundation::Status copy(const QByteArray& source, const QByteArray& destination);
};

}  // namespace qby::platform::linuxhost
