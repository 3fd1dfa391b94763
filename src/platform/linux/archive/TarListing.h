#pragma once

#include "platform/linux/archive/ArchiveMemberCheck.h"

#include <QByteArray>
#include <optional>
#include <vector>

namespace qby::platform::linuxhost {

// Reads the verbose member listing of GNU tar run with "--quoting-style=c" and
// "--numeric-owner" in the C locale: one line per member, its kind in the first column, its name
// (and a link's target) in double quotes with C escapes, so that names with spaces, quotes,
// newlines or " -> " are read exactly.
class TarListing {
public:
    // Nothing when a line does not have that shape.
    static std::optional<std::vector<ArchiveMember>> parse(const QByteArray& listing);
};

}  // namespace qby::platform::linuxhost
