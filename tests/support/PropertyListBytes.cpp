#include "PropertyListBytes.h"

#include <plist/plist.h>

#include <cstdlib>

namespace qby::testsupport {

QByteArray xmlPlist(const QByteArray& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">" +
           body + "</plist>\n";
}

QByteArray binaryPlist(const QMap<QString, QString>& dictionary) {
    plist_t root = plist_new_dict();
    for (auto entry = dictionary.cbegin(); entry != dictionary.cend(); ++entry) {
        plist_dict_set_item(root, entry.key().toUtf8().constData(),
                            plist_new_string(entry.value().toUtf8().constData()));
    }
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    const QByteArray result(bytes, length);
    std::free(bytes);
    plist_free(root);
    return result;
}

}  // namespace qby::testsupport
