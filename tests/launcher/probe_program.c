/* Stands in for the downloader beside a launcher: writes what it was started with, one item a
 * line (its arguments, argv[0] first, then QBY_PROBE_VARIABLE), to QBY_PROBE_OUT; exits 7. */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    FILE* out = fopen(getenv("QBY_PROBE_OUT"), "w");
    if (!out) return 2;
    for (int i = 0; i < argc; ++i) fprintf(out, "%s\n", argv[i]);
    const char* variable = getenv("QBY_PROBE_VARIABLE");
    fprintf(out, "%s\n", variable ? variable : "(unset)");
    return fclose(out) == 0 ? 7 : 2;
}
