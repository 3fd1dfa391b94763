#pragma once

#include <QByteArray>

namespace qby::platform::linuxhost {

// Removes a file, a link or a folder tree bottom-up. Links are removed, never followed, and the
// walk works relative to open folder descriptors, so a folder swapped for a link while we walk
// cannot lead the removal outside the tree. A folder of the user's own whose mode withholds the
// owner's rights (0555) is given them first, so that it can be emptied.
class TreeRemover {
public:
    // 0 on success, else the errno of the first failure (the walk stops there). ENOENT when
    // nothing is at path. A tree deeper than the open-file limit answers EMFILE.
    static int remove(const QByteArray& path);
};

}  // namespace qby::platform::linuxhost
