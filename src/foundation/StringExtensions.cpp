#include "StringExtensions.h"

#include "foundation/PathComponents.h"

#include <QCryptographicHash>

namespace qby::foundation {

namespace {

// Exactly the characters "\s" matches in a Unicode-aware regular expression (PCRE2 with Unicode
// properties): the Z categories, the controls U+0009 to U+000D, U+0085 and U+180E.
bool isRegexSpace(QChar c) {
    switch (c.category()) {
        case QChar::Separator_Space:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            break;
    }
    const char16_t u = c.unicode();
    return (u >= 0x0009 && u <= 0x000D) || u == 0x0085 || u == 0x180E;
}

// The ancestors of a path hold about n * n / 2 code units for n components; beyond this bound (far
// past any real path) the list would exhaust memory, so it is not built.
constexpr qsizetype kMaxParentPathsCodeUnits = 64 * 1024 * 1024;

}  // namespace

QString stringWithInteger(qint64 value) {
    return QString::number(value);
}

bool containsString(const QString& text, const QString& other) {
    return !other.isEmpty() && text.contains(other, Qt::CaseSensitive);
}

bool containsStringIgnoringCase(const QString& text, const QString& other) {
    return !other.isEmpty() && text.contains(other, Qt::CaseInsensitive);
}

bool hasPrefixIgnoringCase(const QString& text, const QString& prefix) {
    if (prefix.isEmpty() || prefix.size() > text.size()) {
        return false;
    }
    return QStringView(text).left(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

bool hasSuffixIgnoringCase(const QString& text, const QString& suffix) {
    if (suffix.isEmpty() || suffix.size() > text.size()) {
        return false;
    }
    return QStringView(text).right(suffix.size()).compare(suffix, Qt::CaseInsensitive) == 0;
}

bool isEqualToStringIgnoringCase(const QString& text, const QString& other) {
    return QString::compare(text, other, Qt::CaseInsensitive) == 0;
}

bool isAllDigits(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    // By code point, so that digits outside the Basic Multilingual Plane count; an unpaired
    // surrogate is no digit.
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        if (QChar::category(c) != QChar::Number_DecimalDigit) {
            return false;
        }
    }
    return true;
}

bool isSimpleVersionNumber(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    for (QChar c : text) {
        if (c != u'.' && (c < u'0' || c > u'9')) {
            return false;
        }
    }
    return true;
}

// Both trims scan instead of running "^\s*" and "\s*$": the trailing pattern takes quadratic time
// on a long run of spaces followed by other text when the expression engine runs without its
// compiler, and the engine refuses texts with an unpaired surrogate. The results are the same.
QString stringByTrimmingLeadingWhitespace(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && isRegexSpace(text.at(start))) {
        ++start;
    }
    return text.mid(start);
}

QString stringByTrimmingTrailingWhitespace(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && isRegexSpace(text.at(end - 1))) {
        --end;
    }
    return text.left(end);
}

quint64 countOccurrencesOfChar(const QString& text, QChar c) {
    return static_cast<quint64>(text.count(c));
}

QString MD5(const QString& text) {
    // An unpaired surrogate has no UTF-8 form; the conversion puts a substitute in its place.
    QByteArray bytes = text.toUtf8();
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0) {
        bytes.truncate(zero);
    }
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString lastPathComponentParentName(const QString& path) {
    return lastPathComponent(deletingLastPathComponent(path));
}

QStringList allParentPaths(const QString& path) {
    const QStringList components = pathComponents(path);
    QStringList parents;
    qsizetype total = 0;
    qsizetype running = 0;
    for (qsizetype i = 0; i + 1 < components.size(); ++i) {
        running += components.at(i).size() + 1;
        total += running;
        if (total > kMaxParentPathsCodeUnits) {
            return {};
        }
    }
    QString current;
    for (qsizetype i = 0; i + 1 < components.size(); ++i) {
        current = i == 0 ? components.at(0) : appendingPathComponent(current, components.at(i));
        parents.append(current);
    }
    return parents;
}

QStringList parentPathsAfterPath(const QString& path, const QString& ancestor) {
    QStringList after;
    bool found = false;
    for (const QString& parent : allParentPaths(path)) {
        if (parent == ancestor) {
            found = true;
        } else if (found) {
            after.append(parent);
        }
    }
    return after;
}

QString stringByReplacingLastPathComponentWith(const QString& path, const QString& name) {
    return appendingPathComponent(deletingLastPathComponent(path), name);
}

QString stringByAppendingPathComponent1(const QString& path, const QString& first,
                                        const QString& second) {
    return appendingPathComponent(appendingPathComponent(path, first), second);
}

}  // namespace qby::foundation
