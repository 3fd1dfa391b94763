#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace qby::testsupport {

// An XML property list around the body ("<dict>...</dict>", "<array>...</array>", ...).
QByteArray xmlPlist(const QByteArray& body);

// A binary property list of the dictionary of texts.
QByteArray binaryPlist(const QMap<QString, QString>& dictionary);

}  // namespace qby::testsupport
