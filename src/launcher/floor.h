/* Whether this system can run the downloader: its C library and its C++ runtime. */
#ifndef QBY_LAUNCHER_FLOOR_H
#define QBY_LAUNCHER_FLOOR_H

/* True when the system's glibc and libstdc++ are at least the bundle's floor. */
int qby_system_meets_floor(void);

#endif
