#pragma once

#include "foundation/Result.h"

#include <QByteArray>
#include <QHash>
#include <vector>

namespace qby::platform::linuxhost {

// One entry of an archive as its tool lists it.
struct ArchiveMember {
    enum class Kind { Folder, File, SymbolicLink, HardLink, Other };
    QByteArray name;
    Kind kind;
    QByteArray linkTarget;  // of a hard link: the member it shares its contents with
};

// Decides, member by member in the order they are unpacked, whether unpacking an archive keeps
// everything inside the folder it is unpacked in. Both "/" and "\" count as separators, so a name
// that some tool might split at a backslash cannot hide a "..".
//
// Refuses (EINVAL) an absolute member, a ".." component, a kind other than folder, file or link,
// a hard link whose target is absolute or climbs, a member (or hard link target) below an earlier
// member that is not a folder (writing there would follow a link of the archive), a folder where
// an earlier member is not one, and a member that is not a folder where an earlier member made a
// folder, itself or as a parent (a link there would lead what came before it astray). A zip
// listing cannot tell links from files, so every non-folder member counts as a possible link.
class ArchiveMemberCheck {
public:
    // The next member; after a refusal the check stays refused.
    foundation::Status admit(const ArchiveMember& member);

    // A whole listing in unpacking order; an archive without members is refused too.
    static foundation::Status check(const std::vector<ArchiveMember>& members);

    // The refusal of a member, in the words every archive reader uses.
    static foundation::Error refusal(const QByteArray& name, const char* reason);

private:
    enum class Node : char { Folder, NotFolder };
    struct Edge {
        qsizetype parent;
        QByteArray component;
        friend bool operator==(const Edge&, const Edge&) = default;
        friend size_t qHash(const Edge& edge, size_t seed) {
            return qHashMulti(seed, edge.parent, edge.component);
        }
    };

    // The node under parent named component; -1 when there is none.
    qsizetype child(qsizetype parent, const QByteArray& component) const;
    qsizetype addFolder(qsizetype parent, const QByteArray& component);

    // The tree of names seen so far, flat (a deep name must not make a deep recursion): node 0 is
    // the folder itself.
    std::vector<Node> nodes_{Node::Folder};
    QHash<Edge, qsizetype> children_;
    qint64 keptBytes_ = 0;
    std::optional<foundation::Error> refusal_;
};

}  // namespace qby::platform::linuxhost
