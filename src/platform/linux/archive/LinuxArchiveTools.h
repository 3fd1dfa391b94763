#pragma once

#include "platform/ArchiveTools.h"

namespace qby::platform::linuxhost {

// Unpacks a tar-gzip archive in one pass, each member checked before GNU tar writes it
// (TarGzipUnpacker), and a zip archive with Info-ZIP unzip after reading its member list with the
// same tool and checking it (ArchiveMemberCheck). The archive stays where it is: removing it is
// the caller's step. Error codes: EINVAL for a bad file name, a damaged archive or a refused
// member, the tool's exit status when it fails, the tool runners' codes when it cannot run.
class LinuxArchiveTools : public ArchiveTools {
public:
    foundation::Status unpack(const QString& folder, const QString& fileName,
                              ArchiveFormat format) override;
};

}  // namespace qby::platform::linuxhost
