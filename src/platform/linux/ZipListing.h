#pragma once

#include "platform/linux/ArchiveMemberCheck.h"

#include <QByteArray>
#include <vector>

namespace qby::platform::linuxhost {

// Reads the name listing of "unzip -Z1": one name per line, control characters shown as "^X",
// folders ending in "/". Which other members are links is not told, so they all count as files,
// which the member check treats as possible links.
class ZipListing {
public:
    static std::vector<ArchiveMember> parse(const QByteArray& listing);
};

}  // namespace qby::platform::linuxhost
