#include "storeclient/UserDataFolder.h"

#include <QDir>
#include <QStandardPaths>
#include <QStringList>

namespace qby::storeclient {

QString userDataFolder() {
    const QStringList locations =
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    return locations.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share")
                               : locations.first();
}

}  // namespace qby::storeclient
