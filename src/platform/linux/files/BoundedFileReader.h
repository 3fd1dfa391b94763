#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace qby::platform::linuxhost {

// Reads small regular files whole without trusting them: a folder, a pipe or a device is never
// read, and a file larger than the limit is refused before its bytes are read.
class BoundedFileReader {
public:
    // The file's bytes; nothing when it is absent, not a regular file (links are followed),
    // unreadable, or larger than maxBytes.
    static std::optional<QByteArray> read(const QString& path, qint64 maxBytes);
};

}  // namespace qby::platform::linuxhost
