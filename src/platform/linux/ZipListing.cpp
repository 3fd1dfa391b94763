#include "platform/linux/ZipListing.h"

#include <QList>

namespace qby::platform::linuxhost {

std::vector<ArchiveMember> ZipListing::parse(const QByteArray& listing) {
    std::vector<ArchiveMember> members;
    for (const QByteArray& line : listing.split('\n')) {
        if (line.isEmpty()) continue;
        const bool folder = line.endsWith('/');
        members.push_back(
            {line, folder ? ArchiveMember::Kind::Folder : ArchiveMember::Kind::File, {}});
    }
    return members;
}

}  // namespace qby::platform::linuxhost
