#include "storeclient/NotificationParser.h"

#include "platform/linux/plist/PlistText.h"
#include "platform/linux/plist/PropertyListInputGuard.h"

#include <cstdlib>
#include <limits>
#include <memory>
#include <plist/plist.h>

namespace qby::storeclient {

namespace {

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// libplist hands out malloc'ed keys.
struct FreeDeleter {
    void operator()(char* text) const { std::free(text); }
};
using CText = std::unique_ptr<char, FreeDeleter>;

ParsedNotification failure(const QString& reason) {
    ParsedNotification result;
    result.error = reason;
    return result;
}

}  // namespace

ParsedNotification NotificationParser::parse(const QByteArray& bytes) {
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<uint32_t>::max()) {
        return failure(QStringLiteral("not a property list"));
    }
    // Anyone who can write into the drop folder can hand the client a file that libplist would
    // expand without bound or recurse through until the stack ends.
    using platform::linuxhost::PropertyListInputGuard;
    if (!PropertyListInputGuard::isSafe(bytes, PropertyListInputGuard::kMaxNesting)) {
        return failure(QStringLiteral("not a safe property list"));
    }
    plist_t parsed = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &parsed);
    const PlistPtr root(parsed);
    if (!root) {
        return failure(QStringLiteral("not a property list"));
    }
    if (plist_get_node_type(root.get()) != PLIST_DICT) {
        return failure(QStringLiteral("root is not a dictionary"));
    }

    ParsedNotification result;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(root.get(), &iterator);
    // The iterator is a plain malloc'ed cursor.
    const std::unique_ptr<void, decltype(&std::free)> iteratorOwner(iterator, &std::free);
    for (;;) {
        char* rawKey = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root.get(), iterator, &rawKey, &value);
        const CText key(rawKey);
        if (!key) {
            break;
        }
        const QString keyText = platform::linuxhost::plistText(key.get());
        // The downloader writes texts only; any other value means the file is not its request.
        if (plist_get_node_type(value) != PLIST_STRING) {
            return failure(QStringLiteral("value of \"%1\" is not a string").arg(keyText));
        }
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(value, &length);
        result.request.insert(keyText, platform::linuxhost::plistText(QByteArrayView(
                                           text, text ? static_cast<qsizetype>(length) : 0)));
    }
    result.ok = true;
    return result;
}

}  // namespace qby::storeclient
