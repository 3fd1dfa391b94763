#include "FuzzInput.h"

#include <cstdio>
#include <cstdlib>

namespace qby::fuzz {

QString textOf(const std::string& bytes, bool utf16) {
    if (!utf16) return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    QString text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.append(QChar(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8)));
    }
    return text;
}

QString nextText(FuzzedDataProvider& input, bool utf16, size_t maxBytes) {
    return textOf(input.ConsumeRandomLengthString(maxBytes), utf16);
}

QString remainingText(FuzzedDataProvider& input, bool utf16) {
    return textOf(input.ConsumeRemainingBytesAsString(), utf16);
}

QString visible(const QString& text) {
    QString shown;
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F && c != u'\\') {
            shown.append(c);
        } else {
            shown.append(QStringLiteral("\\u%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0')));
        }
    }
    return shown;
}

void require(bool holds, const char* property, const QString& detail) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n%s\n", property, detail.toUtf8().constData());
    std::abort();
}

}  // namespace qby::fuzz
