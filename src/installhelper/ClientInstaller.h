#pragma once

#include "installhelper/InstallStatus.h"

#include <sys/types.h>

namespace qby::installhelper {

// Installs the client bundle at source (a folder of the user caller) as root at
// /Applications/Quillbay.app with its desktop entry in /usr/local/share/applications: copied
// beside the destination under a temporary name, the old client set aside, the new one renamed
// in, the entry written, the old one removed; on any failure the old client is put back.
// Says on standard error why it failed.
InstallStatus installClient(const char* source, uid_t caller);

}  // namespace qby::installhelper
