#pragma once

#include "foundation/Result.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>

namespace qby::platform {

// Property lists: XML written, XML and binary read.
class PropertyLists {
public:
    virtual ~PropertyLists() = default;

    // Writes the dictionary of texts as an XML property list: a temporary file in the same
    // folder, flushed to disk and renamed into place, readable by the user alone (0600).
    // The error says why a write failed (an errno value and a sentence naming the path).
    virtual foundation::Status writeDictionaryAtomically(
        const QString& path, const QMap<QString, QString>& dictionary) = 0;

    // The codes of a failed parse.
    static constexpr int kNotAPropertyList = 1;
    static constexpr int kRefusedUnparsed = 2;  // too large, or hostile to the parser

    // The root object of a property list (dictionaries as QVariantMap, arrays as QVariantList,
    // strings, integers, reals, booleans, dates, data), or why the bytes are not one.
    virtual foundation::Result<QVariant> parse(const QByteArray& bytes) const = 0;
};

}  // namespace qby::platform
