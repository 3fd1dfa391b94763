#pragma once

#include "platform/MetadataSearch.h"

#include <QDir>

namespace qby::platform::linuxhost {

// Bundle searches over the user's home folder. The one query understood is
// kMDItemCFBundleIdentifier == 'VALUE' (exactly that form); its results are the *.app bundles
// whose Info.plist names VALUE as CFBundleIdentifier.
class LinuxMetadataSearch : public MetadataSearch {
public:
    explicit LinuxMetadataSearch(QString homeFolder = QDir::homePath());
    std::unique_ptr<MetadataQuery> createQuery(const QString& queryText) override;

private:
    QString homeFolder_;
};

}  // namespace qby::platform::linuxhost
