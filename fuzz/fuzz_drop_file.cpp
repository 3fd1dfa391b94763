// The drop file: a request of texts from the input, written by the host's property-list writer
// and read back by a conforming XML reader (QXmlStreamReader) and by libplist. Both must take the
// file and find every entry again, with each character that XML cannot carry (C0 controls other
// than tab, line feed and carriage return, U+FFFE, U+FFFF, lone surrogates) as U+FFFD. A write may
// fail only when two keys become one that way.
#include "FuzzInput.h"
#include "platform/linux/plist/LibPlistPropertyLists.h"

#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

using qby::fuzz::require;
using qby::fuzz::visible;
using Request = QMap<QString, QString>;

namespace {

QString asXmlCarriesIt(const QString& text) {
    QString mapped;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            mapped.append(c).append(text.at(++i));
            continue;
        }
        const char16_t u = c.unicode();
        const bool allowed = u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF) ||
                             (u >= 0xE000 && u <= 0xFFFD);
        mapped.append(allowed ? c : QChar(0xFFFD));
    }
    return mapped;
}

QString describe(const Request& request) {
    QString text;
    for (auto it = request.cbegin(); it != request.cend(); ++it) {
        text += visible(it.key()) + QStringLiteral(" = ") + visible(it.value()) + QLatin1Char('\n');
    }
    return text;
}

// The <key>/<string> pairs of the plist's root dictionary; nothing on any reader error or any
// other shape.
std::optional<Request> readWithXmlReader(const QByteArray& document, QString& error) {
    QXmlStreamReader xml(document);
    Request read;
    QString key;
    int depth = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            const QStringView name = xml.name();
            if (name == u"key" && depth == 3) {
                key = xml.readElementText();
                --depth;
            } else if (name == u"string" && depth == 3) {
                read.insert(key, xml.readElementText());
                --depth;
            } else if (!((name == u"plist" && depth == 1) || (name == u"dict" && depth == 2))) {
                error = QStringLiteral("unexpected <%1>").arg(name);
                return std::nullopt;
            }
        } else if (xml.isEndElement()) {
            --depth;
        }
    }
    if (xml.hasError()) {
        error = xml.errorString() + QStringLiteral(" at line %1").arg(xml.lineNumber());
        return std::nullopt;
    }
    return read;
}

std::optional<Request> readWithLibplist(const QByteArray& document) {
    static const qby::platform::linuxhost::LibPlistPropertyLists reader;
    const qby::foundation::Result<QVariant> root = reader.parse(document);
    if (!root.ok() || root.value().typeId() != QMetaType::QVariantMap) return std::nullopt;
    Request read;
    const QVariantMap map = root.value().toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it->typeId() != QMetaType::QString) return std::nullopt;
        read.insert(it.key(), it->toString());
    }
    return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir folder;
    require(folder.isValid(), "a temporary folder", folder.errorString());
    FuzzedDataProvider input(data, size);
    const bool utf16 = input.ConsumeBool();
    Request request;
    Request expected;
    bool keysMerge = false;
    while (input.remaining_bytes() > 0) {
        const QString key = qby::fuzz::nextText(input, utf16, 256);
        const QString value = qby::fuzz::nextText(input, utf16, 256);
        if (request.contains(key)) continue;
        request.insert(key, value);
        keysMerge = keysMerge || expected.contains(asXmlCarriesIt(key));
        expected.insert(asXmlCarriesIt(key), asXmlCarriesIt(value));
    }

    const QString path = folder.filePath(QStringLiteral("download.fuzz.plist"));
    qby::platform::linuxhost::LibPlistPropertyLists writer;
    const qby::foundation::Status written = writer.writeDictionaryAtomically(path, request);
    if (!written) {
        require(keysMerge, "the write fails only when two keys become one",
                written.error().message + QLatin1Char('\n') + describe(request));
        return 0;
    }
    require(!keysMerge, "two keys that become one are not written", describe(request));

    QFile file(path);
    require(file.open(QIODevice::ReadOnly), "the drop file is there");
    const QByteArray document = file.readAll();
    QString error;
    const std::optional<Request> fromXml = readWithXmlReader(document, error);
    require(fromXml.has_value(), "a conforming XML reader takes the file",
            error + QLatin1Char('\n') + QString::fromUtf8(document));
    require(*fromXml == expected, "the XML reader finds every entry",
            describe(*fromXml) + QStringLiteral("expected:\n") + describe(expected));
    const std::optional<Request> fromLibplist = readWithLibplist(document);
    require(fromLibplist.has_value(), "libplist takes the file", QString::fromUtf8(document));
    require(*fromLibplist == expected, "libplist finds every entry",
            describe(*fromLibplist) + QStringLiteral("expected:\n") + describe(expected));
    return 0;
}
