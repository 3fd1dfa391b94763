#include "platform/linux/files/Utf8Validator.h"

namespace qby::platform::linuxhost {

bool Utf8Validator::isValid(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int trailing = 0;
        // The allowed range of the second byte narrows for E0, ED, F0 and F4 (RFC 3629 table).
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            trailing = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            trailing = 2;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            trailing = 3;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (size - i - 1 < trailing) return false;
        if (p[i + 1] < low || p[i + 1] > high) return false;
        for (int k = 2; k <= trailing; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
        }
        i += trailing + 1;
    }
    return true;
}

}  // namespace qby::platform::linuxhost
