#include "platform/linux/net/HttpResponseHead.h"

namespace qby::platform::linuxhost {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A token character of a field name: visible ASCII but for the separators.
bool isTokenCharacter(char c) {
    static const QByteArray separators = "()<>@,;:\\\"/[]?={} \t";
    return c > 32 && c < 127 && !separators.contains(c);
}

// "HTTP/1.x NNN reason", the reason possibly empty.
bool parseStatusLine(const QByteArray& line, HttpResponseHead& head) {
    if (line.size() < 12 || !line.startsWith("HTTP/1.") || !isDigit(line[7]) || line[8] != ' ')
        return false;
    for (int i = 9; i < 12; ++i) {
        if (!isDigit(line[i])) return false;
    }
    if (line.size() > 12 && line[12] != ' ') return false;
    head.status = line.mid(9, 3).toInt();
    head.reasonPhrase = line.mid(13).trimmed();
    return head.status >= 100;
}

}  // namespace

QByteArray HttpResponseHead::field(const QByteArray& name) const {
    const QList<QByteArray> values = fieldValues(name);
    return values.isEmpty() ? QByteArray() : values.last();
}

QList<QByteArray> HttpResponseHead::fieldValues(const QByteArray& name) const {
    const QByteArray wanted = name.toLower();
    QList<QByteArray> values;
    for (const auto& [fieldName, value] : fields) {
        if (fieldName == wanted) values.append(value);
    }
    return values;
}

std::optional<HttpResponseHead> HttpResponseHead::parse(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    HttpResponseHead head;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r')) line.chop(1);
        if (i == 0) {
            if (!parseStatusLine(line, head)) return std::nullopt;
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) return std::nullopt;
        const QByteArray name = line.left(colon);
        for (const char c : name) {
            if (!isTokenCharacter(c)) return std::nullopt;
        }
        head.fields.append({name.toLower(), line.mid(colon + 1).trimmed()});
    }
    if (lines.isEmpty()) return std::nullopt;
    return head;
}

}  // namespace qby::platform::linuxhost
