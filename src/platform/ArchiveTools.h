#pragma once

#include "foundation/Result.h"

#include <QString>

namespace qby::platform {

// The two archive forms a release comes in.
enum class ArchiveFormat {
    TarGzip,  // "tar -xzf"
    Zip,      // "unzip -q"
};

// Unpacks release archives with the system's tar and unzip.
class ArchiveTools {
public:
    virtual ~ArchiveTools() = default;

    // Unpacks folder/fileName inside folder, running the tool directly (never through a shell).
    // Nothing the archive holds may land outside folder: an archive with an absolute member, a
    // member with "..", or a member below a symbolic link of the same archive is refused before
    // anything is written. An error also when the tool cannot start or exits non-zero.
    virtual foundation::Status unpack(const QString& folder, const QString& fileName,
                                      ArchiveFormat format) = 0;
};

}  // namespace qby::platform
