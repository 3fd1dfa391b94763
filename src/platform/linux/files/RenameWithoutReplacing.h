#pragma once

namespace qby::platform::linuxhost {

// rename(2) between two folders that refuses to replace anything at the destination: 0 or an
// errno value. File systems without RENAME_NOREPLACE get a check first; only a racing creator can
// slip in between.
int renameWithoutReplacing(int fromFolder, const char* from, int toFolder, const char* to);

}  // namespace qby::platform::linuxhost
