#include "PropertyListBytes.h"

#include <cstdlib>
#include <plist/plist.h>

namespace qby::testsupport {
namespace {

void appendBigEndian(QByteArray& data, uint64_t value, int width) {
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        data.append(char((value >> shift) & 0xFF));
}

}  // namespace

QByteArray xmlPlist(const QByteArray& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">" +
           body + "</plist>\n";
}

QByteArray binaryPlist(const QMap<QString, QString>& dictionary) {
    plist_t root = plist_new_dict();
    for (auto entry = dictionary.cbegin(); entry != dictionary.cend(); ++entry)
        plist_dict_set_item(root, entry.key().toUtf8().constData(),
                            plist_new_string(entry.value().toUtf8().constData()));
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    const QByteArray result(bytes, length);
    std::free(bytes);
    plist_free(root);
    return result;
}

QByteArray binaryObjects(const std::vector<QByteArray>& objects) {
    QByteArray data = "bplist00";
    std::vector<uint64_t> offsets;
    for (const QByteArray& object : objects) {
        offsets.push_back(static_cast<uint64_t>(data.size()));
        data.append(object);
    }
    const uint64_t table = static_cast<uint64_t>(data.size());
    for (uint64_t offset : offsets) appendBigEndian(data, offset, 4);
    data.append(QByteArray::fromHex("0000000000000404"));  // 4-byte offsets and references
    appendBigEndian(data, objects.size(), 8);
    appendBigEndian(data, 0, 8);
    appendBigEndian(data, table, 8);
    return data;
}

QByteArray binaryChain(int count, int copies, bool ring) {
    std::vector<QByteArray> objects(count);
    for (int i = 0; i < count; ++i) {
        const int refs = i + 1 < count || ring ? copies : 0;
        objects[i] = QByteArray(1, char(0xA0 | refs));
        for (int r = 0; r < refs; ++r) appendBigEndian(objects[i], (i + 1) % count, 4);
    }
    return binaryObjects(objects);
}

}  // namespace qby::testsupport
