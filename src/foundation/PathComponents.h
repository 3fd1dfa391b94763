#pragma once

#include <QString>
#include <QStringList>

namespace qby::foundation {

// Paths as the system spells them: "/" separates components, a leading "/" is a component of its
// own, and repeated or trailing "/" do not count.

// "/a//b/" gives "/", "a", "b"; "" gives nothing.
QStringList pathComponents(const QString& path);

// "/d/Game.app" gives "Game.app"; trailing slashes do not count; the root is "/".
QString lastPathComponent(const QString& path);
// "/d/Game.app" gives "/d"; "/Game.app" and "/" give "/"; "Game.app" gives "".
QString deletingLastPathComponent(const QString& path);
// The folder and the name joined by exactly one "/" (slashes at the seam collapse).
QString appendingPathComponent(const QString& folder, const QString& name);
// The path less the last extension of its last component: "/d/Game.K7.app" gives "/d/Game.K7".
QString deletingPathExtension(const QString& path);

}  // namespace qby::foundation
