// The install helper: run by pkexec as root with one argument, the unpacked client's folder,
// which must belong to the user who asked (PKEXEC_UID). Its exit status is an InstallStatus.
#include "installhelper/ClientInstaller.h"
#include "installhelper/InstallStatus.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

using namespace qby::installhelper;

int main(int argc, char* argv[]) {
    umask(022);
    // Exactly one absolute source: a destination, an option or anything more is refused.
    if (argc != 2 || argv[1][0] != '/') {
        std::fprintf(stderr, "usage: qby-install-helper /ABSOLUTE/SOURCE.app (run by pkexec)\n");
        return kBadArguments;
    }
    const char* caller = std::getenv("PKEXEC_UID");
    char* end = nullptr;
    errno = 0;
    const unsigned long uid = caller != nullptr ? std::strtoul(caller, &end, 10) : 0;
    if (caller == nullptr || *caller < '0' || *caller > '9' || *end != '\0' || errno != 0 ||
        uid > 0xfffffffeUL) {
        std::fprintf(stderr, "qby-install-helper: PKEXEC_UID names no user\n");
        return kNoCaller;
    }
    return installClient(argv[1], static_cast<uid_t>(uid));
}
