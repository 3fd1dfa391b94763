#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

namespace qby::platform::linuxhost {

// Reads a bundle's Contents/Info.plist (XML or binary) without trusting it.
class InfoPlistReader {
public:
    // An Info.plist larger than this is not a bundle description we read.
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    // The root dictionary; nothing when the file is absent, too large, or not a dictionary.
    static std::optional<QVariantMap> read(const QString& bundlePath);

    // The text value of key; nothing when the file or the key is missing or not a text.
    static std::optional<QString> stringValue(const QString& bundlePath, const QString& key);
};

}  // namespace qby::platform::linuxhost
