#include "platform/linux/archive/ArchiveMemberCheck.h"

#include <QSet>
#include <QString>
#include <cerrno>

namespace qby::platform::linuxhost {

namespace {

foundation::Error refused(const QByteArray& name, const char* reason) {
    return foundation::Error{EINVAL,
                             QStringLiteral("The archive member \"%1\" %2; nothing was unpacked.")
                                 .arg(QString::fromUtf8(name), QLatin1String(reason))};
}

bool isAbsolute(const QByteArray& name) {
    return name.startsWith('/') || name.startsWith('\\');
}

// The components of a name, empty ones and "." left out.
QList<QByteArray> components(const QByteArray& name) {
    QByteArray slashes = name;
    slashes.replace('\\', '/');
    QList<QByteArray> parts;
    for (const QByteArray& part : slashes.split('/')) {
        if (!part.isEmpty() && part != ".") parts.append(part);
    }
    return parts;
}

std::optional<foundation::Error> badName(const QByteArray& name) {
    if (isAbsolute(name)) return refused(name, "is absolute");
    if (components(name).contains("..")) return refused(name, "leaves its folder through \"..\"");
    return std::nullopt;
}

// The first proper prefix of path that names a member that is not a folder.
std::optional<QByteArray> linkAbove(const QByteArray& path, const QSet<QByteArray>& notFolders) {
    const QList<QByteArray> parts = components(path);
    QByteArray prefix;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        prefix += (i == 0 ? QByteArray() : QByteArray("/")) + parts[i];
        if (notFolders.contains(prefix)) return prefix;
    }
    return std::nullopt;
}

}  // namespace

foundation::Status ArchiveMemberCheck::check(const std::vector<ArchiveMember>& members) {
    if (members.empty())
        return foundation::Error{EINVAL, QStringLiteral("The archive holds nothing.")};
    QSet<QByteArray> notFolders;
    for (const ArchiveMember& member : members) {
        if (auto error = badName(member.name)) return *error;
        const QByteArray path = components(member.name).join('/');
        if (member.kind == ArchiveMember::Kind::Other) {
            return refused(member.name, "is neither a file, a folder nor a link");
        }
        if (member.kind == ArchiveMember::Kind::HardLink) {
            if (isAbsolute(member.linkTarget) || components(member.linkTarget).contains("..")) {
                return refused(member.name, "is a hard link to a file outside the archive");
            }
        }
        if (member.kind != ArchiveMember::Kind::Folder) {
            if (path.isEmpty()) return refused(member.name, "would replace the folder itself");
            notFolders.insert(path);
        }
    }
    for (const ArchiveMember& member : members) {
        const QByteArray path = components(member.name).join('/');
        if (member.kind == ArchiveMember::Kind::Folder && notFolders.contains(path)) {
            return refused(member.name, "is a folder in place of a link or file");
        }
        if (linkAbove(member.name, notFolders)) {
            return refused(member.name, "lies below a link of the archive");
        }
        if (member.kind == ArchiveMember::Kind::HardLink &&
            linkAbove(member.linkTarget, notFolders)) {
            return refused(member.name, "is a hard link through a link of the archive");
        }
    }
    return {};
}

}  // namespace qby::platform::linuxhost
