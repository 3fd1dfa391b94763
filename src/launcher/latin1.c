#include "latin1.h"

/* The code point at *text, advancing past it; a malformed sequence gives 0xFFFD and one byte. */
static unsigned long next_code_point(const unsigned char** text) {
    const unsigned char* s = *text;
    unsigned long point;
    int more;
    if (s[0] < 0x80) {
        *text = s + 1;
        return s[0];
    }
    if ((s[0] & 0xE0) == 0xC0)
        point = s[0] & 0x1F, more = 1;
    else if ((s[0] & 0xF0) == 0xE0)
        point = s[0] & 0x0F, more = 2;
    else if ((s[0] & 0xF8) == 0xF0)
        point = s[0] & 0x07, more = 3;
    else
        more = -1, point = 0;
    for (int i = 1; i <= more; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            more = -1;
            break;
        }
        point = point << 6 | (s[i] & 0x3F);
    }
    if (more < 0) {
        *text = s + 1;
        return 0xFFFD;
    }
    *text = s + 1 + more;
    return point;
}

size_t qby_utf8_to_latin1(const char* utf8, char* out, size_t size) {
    const unsigned char* in = (const unsigned char*)utf8;
    size_t length = 0;
    if (size == 0) return 0;
    while (*in) {
        unsigned long point = next_code_point(&in);
        const char* replacement = "?";
        char single[2] = {0, 0};
        if (point <= 0xFF) {
            single[0] = (char)point;
            replacement = single;
        } else if (point == 0x2018 || point == 0x2019) {
            replacement = "'";
        } else if (point == 0x201C || point == 0x201D) {
            replacement = "\"";
        } else if (point == 0x2013 || point == 0x2014) {
            replacement = "-";
        } else if (point == 0x2026) {
            replacement = "...";
        }
        for (const char* r = replacement; *r; ++r) {
            if (length + 1 >= size) {
                out[length] = '\0';
                return length;
            }
            out[length++] = *r;
        }
    }
    out[length] = '\0';
    return length;
}
