#include "platform/linux/files/RenameWithoutReplacing.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace qby::platform::linuxhost {

int renameWithoutReplacing(int fromFolder, const char* from, int toFolder, const char* to) {
    if (renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    struct stat st {};
    if (fstatat(toFolder, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    if (errno != ENOENT) return errno;
    return renameat(fromFolder, from, toFolder, to) == 0 ? 0 : errno;
}

}  // namespace qby::platform::linuxhost
