#include "versions.h"

#include <stdlib.h>

/* The next number of a dotted version; past its end, or at a part that is not a number, 0. */
static long next_part(const char** text) {
    char* end;
    long value = strtol(*text, &end, 10);
    if (end == *text) {
        *text = "";
        return 0;
    }
    *text = *end == '.' ? end + 1 : "";
    return value;
}

int qby_compare_versions(const char* have, const char* need) {
    while (*have || *need) {
        long a = next_part(&have);
        long b = next_part(&need);
        if (a != b) return a > b ? 1 : -1;
    }
    return 0;
}
