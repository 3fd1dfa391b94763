#pragma once

#include <QString>

namespace qby::client {

// The store client is recognised by this bundle identifier alone, compared exactly.
inline const QString kClientBundleIdentifier = QStringLiteral("com.quillbay.Client2");

// The metadata query that finds every copy of the store client.
inline const QString kClientMetadataQuery =
    QStringLiteral("kMDItemCFBundleIdentifier == 'com.quillbay.Client2'");

// Copies in temporary areas or inside an updater's private folder are never the installed client.
// Plain, case-sensitive text tests: "/private/variant" is excluded too, "/var/folders" is not.
bool isExcludedClientPath(const QString& path);

}  // namespace qby::client
