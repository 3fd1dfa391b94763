#pragma once

#include "platform/linux/archive/ArchiveMemberCheck.h"

#include <QByteArray>
#include <optional>
#include <vector>

namespace qby::platform::linuxhost {

// Reads the name listing of "unzip -Z1": one name per line, folders ending in "/". Which other
// members are links is not told, so they all count as files, which the member check treats as
// possible links. The listing shows a control character as "^X" while unpacking drops it, so a
// "^" or a control character in a name makes the listing unfaithful: nothing then.
class ZipListing {
public:
    static std::optional<std::vector<ArchiveMember>> parse(const QByteArray& listing);
};

}  // namespace qby::platform::linuxhost
