#include "platform/linux/archive/ArchiveMemberCheck.h"

#include <QString>
#include <cerrno>

namespace qby::platform::linuxhost {

namespace {

// Far more than the names of any release; an archive with more is refused, not kept in memory.
constexpr qint64 kMaxKeptNameBytes = 64 * 1024 * 1024;

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

bool climbs(const QByteArray& name) {
    return isAbsolute(name) || components(name).contains("..");
}

}  // namespace

foundation::Error ArchiveMemberCheck::refusal(const QByteArray& name, const char* reason) {
    return foundation::Error{EINVAL,
                             QStringLiteral("The archive member \"%1\" %2; nothing was unpacked.")
                                 .arg(QString::fromUtf8(name), QLatin1String(reason))};
}

qsizetype ArchiveMemberCheck::child(qsizetype parent, const QByteArray& component) const {
    return children_.value(Edge{parent, component}, -1);
}

qsizetype ArchiveMemberCheck::addFolder(qsizetype parent, const QByteArray& component) {
    const qsizetype node = static_cast<qsizetype>(nodes_.size());
    nodes_.push_back(Node::Folder);
    children_.insert(Edge{parent, component}, node);
    keptBytes_ += component.size() + 32;
    return node;
}

foundation::Status ArchiveMemberCheck::admit(const ArchiveMember& member) {
    if (refusal_) return *refusal_;
    // Walks the parents of a name, making each a folder; false when one is not a folder.
    auto walkParents = [this](const QList<QByteArray>& parts, qsizetype& node) {
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            const qsizetype next = child(node, parts[i]);
            if (next >= 0 && nodes_[next] == Node::NotFolder) return false;
            node = next >= 0 ? next : addFolder(node, parts[i]);
        }
        return true;
    };
    auto refuse = [this, &member](const char* reason) -> foundation::Status {
        refusal_ = refusal(member.name, reason);
        return *refusal_;
    };

    if (isAbsolute(member.name)) return refuse("is absolute");
    const QList<QByteArray> parts = components(member.name);
    if (parts.contains("..")) return refuse("leaves its folder through \"..\"");
    if (member.kind == ArchiveMember::Kind::Other) {
        return refuse("is neither a file, a folder nor a link");
    }
    const bool folder = member.kind == ArchiveMember::Kind::Folder;
    if (parts.isEmpty()) {
        if (folder) return {};
        return refuse("would replace the folder itself");
    }
    if (member.kind == ArchiveMember::Kind::HardLink) {
        if (climbs(member.linkTarget))
            return refuse("is a hard link to a file outside the archive");
        // The target must stand when the link is made: its parents are folders from then on.
        qsizetype node = 0;
        if (!walkParents(components(member.linkTarget), node)) {
            return refuse("is a hard link through a link of the archive");
        }
    }
    qsizetype parent = 0;
    if (!walkParents(parts, parent)) return refuse("lies below a link of the archive");
    const qsizetype existing = child(parent, parts.last());
    if (existing >= 0) {
        if (folder && nodes_[existing] == Node::NotFolder) {
            return refuse("is a folder in place of a link or file");
        }
        if (!folder && nodes_[existing] == Node::Folder) {
            return refuse("is a link or file in place of a folder");
        }
    } else {
        addFolder(parent, parts.last());
        nodes_.back() = folder ? Node::Folder : Node::NotFolder;
    }
    if (keptBytes_ > kMaxKeptNameBytes) return refuse("is one name too many to keep track of");
    return {};
}

foundation::Status ArchiveMemberCheck::check(const std::vector<ArchiveMember>& members) {
    if (members.empty())
        return foundation::Error{EINVAL, QStringLiteral("The archive holds nothing.")};
    ArchiveMemberCheck check;
    for (const ArchiveMember& member : members) {
        if (foundation::Status admitted = check.admit(member); !admitted) return admitted;
    }
    return {};
}

}  // namespace qby::platform::linuxhost
