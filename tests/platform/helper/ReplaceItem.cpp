// Puts one tree in the place of another through the Linux host's file manager, as the install
// does: the program that the interruption tests stop at each system call. Usage:
// platform_replace_item SOURCE DESTINATION; status 0 when replaced, 1 with the error on stderr.
#include "platform/linux/files/LinuxFileManager.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    qby::platform::linuxhost::LinuxFileManager files;
    const qby::foundation::Status replaced =
        files.replaceItem(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    if (replaced) return 0;
    std::fprintf(stderr, "%s\n", qPrintable(replaced.error().message));
    return 1;
}
