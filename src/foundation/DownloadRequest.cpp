#include "foundation/DownloadRequest.h"

#include <QStringList>

namespace qby::foundation {

QString describeRequest(const DownloadRequest& request) {
    QStringList entries;
    for (auto it = request.cbegin(); it != request.cend(); ++it) {
        entries << QStringLiteral("\"%1\" = \"%2\";").arg(it.key(), it.value());
    }
    return QStringLiteral("{%1}").arg(entries.join(QLatin1Char(' ')));
}

}  // namespace qby::foundation
