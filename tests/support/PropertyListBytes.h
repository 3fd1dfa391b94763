#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <vector>

namespace qby::testsupport {

// An XML property list around the body ("<dict>...</dict>", "<array>...</array>", ...).
QByteArray xmlPlist(const QByteArray& body);

// A binary property list of the dictionary of texts.
QByteArray binaryPlist(const QMap<QString, QString>& dictionary);

// A binary property list of raw objects, the first one the root; references are 4 bytes.
QByteArray binaryObjects(const std::vector<QByteArray>& objects);

// count arrays, each holding copies references to the next one; the last one holds nothing,
// or, in a ring, references the first one. Two copies a level: 2^count objects once expanded.
QByteArray binaryChain(int count, int copies = 1, bool ring = false);

}  // namespace qby::testsupport
