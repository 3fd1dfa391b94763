/* The symbol versions a shared library defines, read from its file: a library that defines
 * GLIBCXX_3.4.30 offers everything GCC 12's runtime does, and reading its version table costs
 * a few pages where loading it would relocate it and its dependencies. */
#ifndef QBY_LAUNCHER_ELF_VERSIONS_H
#define QBY_LAUNCHER_ELF_VERSIONS_H

#include <stddef.h>

/* True when the 64-bit ELF library at `path` defines each of the `count` version names.
 * Anything unreadable or malformed gives false. */
int qby_library_defines_versions(const char* path, const char* const* versions, size_t count);

/* Where the dynamic loader finds the library `soname` for this process: the first folder of
 * LD_LIBRARY_PATH that has it, else the entry of /etc/ld.so.cache (`cache`), else the first of
 * the system's library folders that has it. Written into `path`; false when none has it. */
int qby_find_library(const char* soname, const char* cache, char* path, size_t size);

#endif
