#pragma once

#include "platform/ArchiveTools.h"

namespace qby::platform::linuxhost {

// Unpacks with GNU tar and Info-ZIP unzip after reading the archive's member list with the same
// tool and checking it (ArchiveMemberCheck). The archive stays where it is: removing it is the
// caller's step. Error codes: EINVAL for a bad file name or a refused member list, the tool's
// exit status when it fails, ToolRunner's codes when it cannot run.
class LinuxArchiveTools : public ArchiveTools {
public:
    foundation::Status unpack(const QString& folder, const QString& fileName,
                              ArchiveFormat format) override;
};

}  // namespace qby::platform::linuxhost
