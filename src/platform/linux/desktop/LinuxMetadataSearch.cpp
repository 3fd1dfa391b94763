#include "platform/linux/desktop/LinuxMetadataSearch.h"

#include "platform/linux/desktop/BundleWalkQuery.h"

#include <QRegularExpression>

namespace qby::platform::linuxhost {

LinuxMetadataSearch::LinuxMetadataSearch(QString homeFolder) : homeFolder_(std::move(homeFolder)) {}

std::unique_ptr<MetadataQuery> LinuxMetadataSearch::createQuery(const QString& queryText) {
    static const QRegularExpression form(
        QStringLiteral("\\AkMDItemCFBundleIdentifier == '([^']+)'\\z"));
    const QRegularExpressionMatch match = form.match(queryText);
    if (!match.hasMatch()) return nullptr;
    return std::make_unique<BundleWalkQuery>(homeFolder_, match.captured(1));
}

}  // namespace qby::platform::linuxhost
