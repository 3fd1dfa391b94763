/* The dynamic loader's calls, at the versions every glibc since 2.2.5 has: the build machine's
 * own (2.34) are missing below it. Before 2.34 they live in libdl.so.2, which the launcher
 * names ahead of libc.so.6 so that the loader finds them there. */
#ifndef QBY_LAUNCHER_DYNAMIC_H
#define QBY_LAUNCHER_DYNAMIC_H

#include <dlfcn.h>

__asm__(".symver dlopen,dlopen@GLIBC_2.2.5");
__asm__(".symver dlsym,dlsym@GLIBC_2.2.5");

#endif
