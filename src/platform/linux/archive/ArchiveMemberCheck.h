#pragma once

#include "foundation/Result.h"

#include <QByteArray>
#include <vector>

namespace qby::platform::linuxhost {

// One entry of an archive as its tool lists it.
struct ArchiveMember {
    enum class Kind { Folder, File, SymbolicLink, HardLink, Other };
    QByteArray name;
    Kind kind;
    QByteArray linkTarget;  // of a hard link: the member it shares its contents with
};

// Decides, from the listing alone, whether unpacking an archive keeps everything inside the
// folder it is unpacked in. Both "/" and "\" count as separators, so a name that some tool might
// split at a backslash cannot hide a "..".
class ArchiveMemberCheck {
public:
    // Refuses (EINVAL) an archive without members, an absolute member, a ".." component, a kind
    // other than folder, file or link, a hard link whose target is absolute or climbs, and a
    // member (or hard link target) that lies below, or stands in place of, a member that is not a
    // folder: writing there would follow a link of the archive. A zip listing cannot tell links
    // from files, so every non-folder member counts as a possible link.
    static foundation::Status check(const std::vector<ArchiveMember>& members);
};

}  // namespace qby::platform::linuxhost
