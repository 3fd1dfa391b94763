/* Texts for the core X fonts that every X server has, which are ISO 8859-1. */
#ifndef QBY_LAUNCHER_LATIN1_H
#define QBY_LAUNCHER_LATIN1_H

#include <stddef.h>

/* `utf8` as ISO 8859-1 into `out` (at most size - 1 bytes, terminated): typographic quotes and
 * dashes become their ASCII look-alikes, the ellipsis three dots, anything else beyond Latin-1
 * or malformed "?". Returns the length written. */
size_t qby_utf8_to_latin1(const char* utf8, char* out, size_t size);

#endif
