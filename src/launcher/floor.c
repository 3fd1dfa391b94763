#include "floor.h"

#include "elf_versions.h"
#include "versions.h"

#include <gnu/libc-version.h>
#include <limits.h>

/* The newest versions any file of the bundle asks for (the floor test holds the bundle to
 * them); CMake passes the same numbers it gives that test. */
#if !defined(QBY_FLOOR_GLIBC) || !defined(QBY_FLOOR_GLIBCXX) || !defined(QBY_FLOOR_CXXABI)
#error "the floor's versions are not set"
#endif

int qby_system_meets_floor(void) {
    if (qby_compare_versions(gnu_get_libc_version(), QBY_FLOOR_GLIBC) < 0) return 0;
    /* The C++ runtime the loader would give the downloader, asked from its file: loading it
     * (dlopen and dlvsym) would relocate it and its dependencies only to exec right after. */
    static const char* const cxx_versions[] = {QBY_FLOOR_GLIBCXX, QBY_FLOOR_CXXABI};
    char cxx[PATH_MAX];
    return qby_find_library("libstdc++.so.6", "/etc/ld.so.cache", cxx, sizeof cxx) &&
           qby_library_defines_versions(cxx, cxx_versions, 2);
}
