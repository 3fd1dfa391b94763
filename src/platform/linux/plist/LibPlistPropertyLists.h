#pragma once

#include "platform/PropertyLists.h"
#include "platform/linux/plist/PropertyListInputGuard.h"

namespace qby::platform::linuxhost {

// Property lists through libplist: XML written, XML and binary read.
class LibPlistPropertyLists : public PropertyLists {
public:
    // A property list with more containers nested in one another is refused as hostile.
    static constexpr int kMaxNesting = PropertyListInputGuard::kMaxNesting;

    foundation::Status writeDictionaryAtomically(const QString& path,
                                                 const QMap<QString, QString>& dictionary) override;
    foundation::Result<QVariant> parse(const QByteArray& bytes) const override;
};

}  // namespace qby::platform::linuxhost
