#pragma once

#include <QByteArray>

namespace qby::platform::linuxhost {

// libplist parses and frees nested containers recursively: a hostile property list nested a
// million levels deep overflows the stack, and a deep binary chain takes quadratic time. This
// guard looks at the raw bytes first, cheaply and without recursion, and tells whether the
// nesting stays within a limit.
class PropertyListNestingGuard {
public:
    // True when the bytes nest at most maxDepth containers deep. Binary property lists whose
    // object references form a cycle or point outside the object table answer false. Text that
    // is no property list at all answers true: libplist turns it down by itself.
    static bool withinLimit(const QByteArray& bytes, int maxDepth);

private:
    static bool xmlWithinLimit(const QByteArray& bytes, int maxDepth);
    static bool binaryWithinLimit(const QByteArray& bytes, int maxDepth);
};

}  // namespace qby::platform::linuxhost
