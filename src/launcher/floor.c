#include "floor.h"

#include "dynamic.h"
#include "versions.h"

#include <gnu/libc-version.h>

/* The newest versions any file of the bundle asks for (the floor test holds the bundle to
 * them); CMake passes the same numbers it gives that test. */
#if !defined(QBY_FLOOR_GLIBC) || !defined(QBY_FLOOR_GLIBCXX) || !defined(QBY_FLOOR_CXXABI)
#error "the floor's versions are not set"
#endif

/* A symbol that libstdc++ carries at each version: GCC 12's std::__glibcxx_assert_fail
 * (GLIBCXX_3.4.30) and exception_ptr::_M_release (CXXABI_1.3.13). Raising the floor means
 * naming a symbol of the new version here. */
static const struct {
    const char* version;
    const char* symbol;
} cxx_runtime_needs[] = {
    {QBY_FLOOR_GLIBCXX, "_ZSt21__glibcxx_assert_failPKciS0_S0_"},
    {QBY_FLOOR_CXXABI, "_ZNSt15__exception_ptr13exception_ptr10_M_releaseEv"},
};

int qby_system_meets_floor(void) {
    const char* glibc = gnu_get_libc_version();
    if (qby_compare_versions(glibc, QBY_FLOOR_GLIBC) < 0) return 0;
    /* Loaded only to ask it; the exec that follows drops it again. */
    void* cxx = dlopen("libstdc++.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (!cxx) return 0;
    for (size_t i = 0; i < sizeof cxx_runtime_needs / sizeof cxx_runtime_needs[0]; ++i) {
        if (!dlvsym(cxx, cxx_runtime_needs[i].symbol, cxx_runtime_needs[i].version)) return 0;
    }
    return 1;
}
