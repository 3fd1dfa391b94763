#include "platform/linux/plist/LibPlistPropertyLists.h"

#include "platform/linux/files/PosixError.h"
#include "platform/linux/plist/PlistText.h"
#include "platform/linux/plist/PropertyListInputGuard.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::platform::linuxhost {

namespace {

// Seconds between the Unix epoch and the property-list epoch (2001-01-01T00:00:00Z).
constexpr qint64 kPlistEpoch = 978307200;

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

struct MallocFree {
    void operator()(void* p) const { std::free(p); }
};

QString takeString(char* text) {
    std::unique_ptr<char, MallocFree> owned(text);
    return owned ? plistText(owned.get()) : QString();
}

std::optional<QVariant> toVariant(plist_t node, int depth);

std::optional<QVariant> dictToVariant(plist_t node, int depth) {
    QVariantMap map;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(node, &iter);
    std::unique_ptr<void, MallocFree> ownedIter(iter);
    while (iter != nullptr) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iter, &key, &value);
        if (value == nullptr) {
            std::free(key);
            break;
        }
        const QString name = takeString(key);
        std::optional<QVariant> converted = toVariant(value, depth + 1);
        if (!converted) return std::nullopt;
        map.insert(name, *converted);
    }
    return QVariant(map);
}

std::optional<QVariant> arrayToVariant(plist_t node, int depth) {
    QVariantList list;
    const uint32_t size = plist_array_get_size(node);
    list.reserve(size);
    for (uint32_t i = 0; i < size; ++i) {
        std::optional<QVariant> converted = toVariant(plist_array_get_item(node, i), depth + 1);
        if (!converted) return std::nullopt;
        list.append(*converted);
    }
    return QVariant(list);
}

std::optional<QVariant> toVariant(plist_t node, int depth) {
    if (node == nullptr) return std::nullopt;
    // depth counts the containers around node: at most kMaxNesting containers in all.
    const bool tooDeep = depth >= LibPlistPropertyLists::kMaxNesting;
    switch (plist_get_node_type(node)) {
        case PLIST_DICT:
            return tooDeep ? std::nullopt : dictToVariant(node, depth);
        case PLIST_ARRAY:
            return tooDeep ? std::nullopt : arrayToVariant(node, depth);
        case PLIST_STRING: {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            return QVariant(plistText(QByteArrayView(text, static_cast<qsizetype>(length))));
        }
        case PLIST_UINT: {
            uint64_t value = 0;
            plist_get_uint_val(node, &value);
            // Negative integers are stored as their 64-bit two's complement.
            return QVariant(static_cast<qint64>(value));
        }
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            return QVariant(value);
        }
        case PLIST_BOOLEAN: {
            uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return QVariant(value != 0);
        }
        case PLIST_DATE: {
            int32_t seconds = 0;
            int32_t microseconds = 0;
            plist_get_date_val(node, &seconds, &microseconds);
            const qint64 ms = (kPlistEpoch + seconds) * 1000 + microseconds / 1000;
            return QVariant(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char* data = plist_get_data_ptr(node, &length);
            return QVariant(QByteArray(data, static_cast<qsizetype>(length)));
        }
        case PLIST_UID: {
            uint64_t value = 0;
            plist_get_uid_val(node, &value);
            return QVariant(static_cast<qint64>(value));
        }
        default:
            return std::nullopt;
    }
}

// XML 1.0 cannot carry the C0 controls other than tab, line feed and carriage return, nor
// U+FFFE, U+FFFF or a lone surrogate: each becomes U+FFFD, so that every conforming reader takes
// the file. libplist would write them raw, and a NUL would even end the text early.
QString xmlSafeText(const QString& text) {
    QString safe = text;
    for (qsizetype i = 0; i < safe.size(); ++i) {
        const char16_t c = safe.at(i).unicode();
        const bool control = c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
        bool loneSurrogate = false;
        if (QChar::isHighSurrogate(c)) {
            loneSurrogate = i + 1 >= safe.size() || !safe.at(i + 1).isLowSurrogate();
            if (!loneSurrogate) ++i;  // a valid pair stays as it is
        } else if (QChar::isLowSurrogate(c)) {
            loneSurrogate = true;
        }
        if (control || c == 0xFFFE || c == 0xFFFF || loneSurrogate) safe[i] = QChar(0xFFFD);
    }
    return safe;
}

// Readers turn a raw carriage return into a line feed (end-of-line handling); a character
// reference keeps it. libplist never writes one of its own, so every one came from a text.
QByteArray withCarriageReturnsAsReferences(const char* xml, uint32_t length) {
    QByteArray out;
    out.reserve(length);
    for (uint32_t i = 0; i < length; ++i) {
        if (xml[i] == '\r') {
            out.append("&#13;");
        } else {
            out.append(xml[i]);
        }
    }
    return out;
}

bool writeAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

foundation::Status LibPlistPropertyLists::writeDictionaryAtomically(
    const QString& path, const QMap<QString, QString>& dictionary) {
    if (path.isEmpty()) return PosixError::at(ENOENT, path);
    PlistPtr root(plist_new_dict());
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it) {
        const QByteArray key = xmlSafeText(it.key()).toUtf8();
        // Two keys that differ only in characters XML cannot carry would become one; writing
        // that would silently drop a value.
        if (plist_dict_get_item(root.get(), key.constData()) != nullptr) {
            return foundation::Error{EINVAL,
                                     QStringLiteral("Two keys of the request become one in XML: %1")
                                         .arg(QString::fromUtf8(key))};
        }
        plist_dict_set_item(root.get(), key.constData(),
                            plist_new_string(xmlSafeText(it.value()).toUtf8().constData()));
    }
    char* rawXml = nullptr;
    uint32_t rawLength = 0;
    plist_to_xml(root.get(), &rawXml, &rawLength);
    if (rawXml == nullptr)
        return foundation::Error{ENOMEM, QStringLiteral("No XML could be made for %1").arg(path)};
    std::unique_ptr<char, void (*)(char*)> ownedXml(rawXml, plist_to_xml_free);
    const QByteArray document = withCarriageReturnsAsReferences(rawXml, rawLength);
    const char* xml = document.constData();
    const size_t length = static_cast<size_t>(document.size());

    // The temporary file lies beside the target so that the rename stays on one file system.
    const QFileInfo target(path);
    QByteArray temporary =
        QFile::encodeName(target.absolutePath() + "/." + target.fileName() + ".XXXXXX");
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return PosixError::at(errno, path);
    bool written = fchmod(fd, 0600) == 0 && writeAll(fd, xml, length) && fsync(fd) == 0;
    int error = written ? 0 : errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temporary.constData(), QFile::encodeName(path)) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temporary.constData());
        return PosixError::at(error, path);
    }
    // Make the rename itself durable; a failure here leaves a complete file all the same.
    const int folder = ::open(QFile::encodeName(target.absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        ::close(folder);
    }
    return {};
}

foundation::Result<QVariant> LibPlistPropertyLists::parse(const QByteArray& bytes) const {
    if (bytes.isEmpty()) return foundation::Error{kNotAPropertyList, QStringLiteral("no bytes")};
    if (static_cast<quint64>(bytes.size()) > std::numeric_limits<uint32_t>::max()) {
        return foundation::Error{kRefusedUnparsed, QStringLiteral("larger than 4 GiB")};
    }
    if (!PropertyListInputGuard::isSafe(bytes, kMaxNesting)) {
        return foundation::Error{
            kRefusedUnparsed,
            QStringLiteral("refused unparsed: nested deeper than %1 levels, a NUL inside a text, "
                           "or binary references that loop, stray or multiply")
                .arg(kMaxNesting)};
    }
    plist_t raw = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &raw);
    PlistPtr root(raw);
    if (!root) {
        return foundation::Error{
            kNotAPropertyList, QStringLiteral("not a property list (%1 bytes)").arg(bytes.size())};
    }
    std::optional<QVariant> value = toVariant(root.get(), 0);
    if (!value) {
        return foundation::Error{
            kRefusedUnparsed,
            QStringLiteral("nested too deep or holding a value of no known type")};
    }
    return *std::move(value);
}

}  // namespace qby::platform::linuxhost
