#pragma once

#include "foundation/Result.h"

#include <QString>

namespace qby::platform::linuxhost {

// Unpacks a tar-gzip archive in one pass: inflated here, read member by member (TarMemberReader),
// each member checked (ArchiveMemberCheck) before any byte of it goes on to GNU tar, which writes
// the files into a fresh folder inside the given one. When all went well, what it holds is moved
// up, none of it replacing anything; on any failure nothing of the archive is left behind.
class TarGzipUnpacker {
public:
    // Errors: those of GzipFileInflater, TarMemberReader and ArchiveMemberCheck, tar's exit
    // status, PipedTool's codes, EEXIST when a member would replace what is in the folder.
    static foundation::Status unpack(const QString& folder, const QString& fileName);
};

}  // namespace qby::platform::linuxhost
