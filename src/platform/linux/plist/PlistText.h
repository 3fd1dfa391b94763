#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace qby::platform::linuxhost {

// A key or string of a property list from libplist's UTF-8. QString::fromUtf8 drops a leading
// U+FEFF as a byte-order mark; inside a property list it belongs to the text.
inline QString plistText(QByteArrayView utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(utf8);
}

}  // namespace qby::platform::linuxhost
