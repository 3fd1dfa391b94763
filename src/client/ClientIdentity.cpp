#include "client/ClientIdentity.h"

namespace qby::client {

bool isExcludedClientPath(const QString& path) {
    return path.startsWith(QLatin1String("/private/var")) ||
           path.startsWith(QLatin1String("/private/tmp")) ||
           path.contains(QLatin1String("/.Sparkle"));
}

}  // namespace qby::client
