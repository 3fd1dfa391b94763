#pragma once

#include <QByteArray>

namespace qby::platform::linuxhost {

// Inputs that libplist cannot be trusted with. It parses and frees nested containers
// recursively: a property list nested a million levels deep overflows the stack, and a deep
// binary chain takes quadratic time. It copies a shared binary object at every reference, so a
// few hundred bytes can expand without bound. And it aborts the process (an assertion) when a
// text or key holds a NUL character. This guard looks at the raw bytes first, cheaply and
// without recursion.
class PropertyListInputGuard {
public:
    // Containers nested deeper than this are refused as hostile.
    static constexpr int kMaxNesting = 512;

    // True when the bytes nest at most maxDepth containers deep, expand to a bounded number of
    // objects and hold no NUL inside a text. Binary lists whose references form a cycle or
    // point outside their tables answer false. Text that is no property list at all may answer
    // true: libplist turns it down by itself.
    static bool isSafe(const QByteArray& bytes, int maxDepth);

private:
    static bool xmlIsSafe(const QByteArray& bytes, int maxDepth);
    static bool binaryIsSafe(const QByteArray& bytes, int maxDepth);
};

}  // namespace qby::platform::linuxhost
