/* Dotted version numbers, as glibc reports its own. */
#ifndef QBY_LAUNCHER_VERSIONS_H
#define QBY_LAUNCHER_VERSIONS_H

/* "2.35" against "2.31": above zero when `have` is the newer, below when older, zero when equal.
 * Parts that are missing or not numbers count as 0 ("2.35" equals "2.35.0"). */
int qby_compare_versions(const char* have, const char* need);

#endif
