#include "platform/linux/archive/ZipListing.h"

#include <QList>

namespace qby::platform::linuxhost {

namespace {

bool shownFaithfully(const QByteArray& name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '^' || byte < 0x20 || byte == 0x7F) return false;
    }
    return true;
}

}  // namespace

std::optional<std::vector<ArchiveMember>> ZipListing::parse(const QByteArray& listing) {
    std::vector<ArchiveMember> members;
    for (const QByteArray& line : listing.split('\n')) {
        if (line.isEmpty()) continue;
        if (!shownFaithfully(line)) return std::nullopt;
        const bool folder = line.endsWith('/');
        members.push_back(
            {line, folder ? ArchiveMember::Kind::Folder : ArchiveMember::Kind::File, {}});
    }
    return members;
}

}  // namespace qby::platform::linuxhost
