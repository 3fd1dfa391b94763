#pragma once

#include <QByteArray>

namespace qby::platform::linuxhost {

// Strict UTF-8 as RFC 3629 defines it: no overlong forms, no surrogates, nothing above U+10FFFF,
// no truncated sequence at the end.
class Utf8Validator {
public:
    static bool isValid(const QByteArray& bytes);
};

}  // namespace qby::platform::linuxhost
