#include "platform/linux/net/HttpFields.h"

#include <QTimeZone>
#include <array>

namespace qby::platform::linuxhost {

namespace {

constexpr qint64 kLongestRetryAfterMs = 24LL * 3600 * 1000;
// Beyond this an ETag is no validator a store would send: it is not kept.
constexpr qsizetype kLongestEntityTag = 512;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Leading digits from pos on, at most 18 of them (no overflow); advances pos past them.
std::optional<qint64> digitsAt(QByteArrayView text, qsizetype& pos) {
    const qsizetype start = pos;
    qint64 value = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        if (pos - start == 18) return std::nullopt;
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    if (pos == start) return std::nullopt;
    return value;
}

bool expect(QByteArrayView text, qsizetype& pos, QByteArrayView literal) {
    if (!text.sliced(pos).startsWith(literal)) return false;
    pos += literal.size();
    return true;
}

// Optional white space around a field's value is not part of it.
QByteArrayView trimmed(QByteArrayView value) {
    while (!value.isEmpty() && (value.front() == ' ' || value.front() == '\t'))
        value = value.sliced(1);
    while (!value.isEmpty() && (value.back() == ' ' || value.back() == '\t')) value.chop(1);
    return value;
}

bool isStrongEntityTag(QByteArrayView tag) {
    if (tag.size() < 2 || tag.size() > kLongestEntityTag || tag.front() != '"' ||
        tag.back() != '"') {
        return false;
    }
    // etagc = %x21 / %x23-7E / obs-text
    for (const char c : tag.sliced(1, tag.size() - 2)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x21 || byte == 0x22 || byte == 0x7f) return false;
    }
    return true;
}

int indexIn(QByteArrayView name, const std::array<const char*, 12>& names, int count) {
    for (int i = 0; i < count; ++i) {
        if (name == QByteArrayView(names[i])) return i;
    }
    return -1;
}

}  // namespace

std::optional<ContentRange> parseContentRange(QByteArrayView value) {
    value = trimmed(value);
    qsizetype pos = 0;
    if (!expect(value, pos, "bytes ")) return std::nullopt;
    ContentRange range;
    if (expect(value, pos, "*/")) {
        const std::optional<qint64> length = digitsAt(value, pos);
        if (!length || pos != value.size()) return std::nullopt;
        range.completeLength = *length;
        return range;
    }
    const std::optional<qint64> first = digitsAt(value, pos);
    if (!first || !expect(value, pos, "-")) return std::nullopt;
    const std::optional<qint64> last = digitsAt(value, pos);
    if (!last || !expect(value, pos, "/") || *last < *first) return std::nullopt;
    range.first = *first;
    range.last = *last;
    if (!expect(value, pos, "*")) {
        const std::optional<qint64> length = digitsAt(value, pos);
        if (!length || *last >= *length) return std::nullopt;
        range.completeLength = *length;
    }
    if (pos != value.size()) return std::nullopt;
    return range;
}

std::optional<qint64> lengthOfRestFrom(QByteArrayView contentRange, qint64 offset,
                                       qint64 knownLength) {
    const std::optional<ContentRange> range = parseContentRange(contentRange);
    if (!range || range->first != offset || range->completeLength < 0 ||
        range->last + 1 != range->completeLength) {
        return std::nullopt;
    }
    if (knownLength >= 0 && range->completeLength != knownLength) return std::nullopt;
    return range->completeLength;
}

std::optional<QDateTime> parseHttpDate(QByteArrayView value) {
    static const std::array<const char*, 12> days{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const std::array<const char*, 12> months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    value = trimmed(value);
    // "Sun, 06 Nov 1994 08:49:37 GMT": every field at its fixed place.
    if (value.size() != 29 || value.sliced(3, 2) != ", " || value[7] != ' ' || value[11] != ' ' ||
        value[16] != ' ' || value[19] != ':' || value[22] != ':' || value.sliced(25) != " GMT") {
        return std::nullopt;
    }
    auto number = [&](qsizetype at, qsizetype length) -> int {
        int result = 0;
        for (qsizetype i = at; i < at + length; ++i) {
            if (!isDigit(value[i])) return -1;
            result = result * 10 + (value[i] - '0');
        }
        return result;
    };
    const int weekday = indexIn(value.sliced(0, 3), days, 7);
    const int month = indexIn(value.sliced(8, 3), months, 12);
    const QDate date(number(12, 4), month + 1, number(5, 2));
    const QTime time(number(17, 2), number(20, 2), number(23, 2));
    if (weekday < 0 || month < 0 || !date.isValid() || !time.isValid() ||
        date.dayOfWeek() != weekday + 1) {
        return std::nullopt;
    }
    return QDateTime(date, time, Qt::UTC);
}

QByteArray resumeValidator(QByteArrayView etag, QByteArrayView lastModified) {
    etag = trimmed(etag);
    if (isStrongEntityTag(etag)) return etag.toByteArray();
    lastModified = trimmed(lastModified);
    if (parseHttpDate(lastModified)) return lastModified.toByteArray();
    return {};
}

bool isResumeValidator(QByteArrayView value) {
    return isStrongEntityTag(value) || (value.size() == 29 && parseHttpDate(value));
}

std::optional<qint64> retryAfterMilliseconds(QByteArrayView value, const QDateTime& now) {
    value = trimmed(value);
    qsizetype pos = 0;
    if (!value.isEmpty() && isDigit(value.front())) {
        // More digits than 18 is a wait far beyond any bound: the longest one.
        while (pos < value.size() && isDigit(value[pos])) ++pos;
        if (pos != value.size()) return std::nullopt;
        if (pos > 9) return kLongestRetryAfterMs;
        return std::min(value.toByteArray().toLongLong() * 1000, kLongestRetryAfterMs);
    }
    const std::optional<QDateTime> date = parseHttpDate(value);
    if (!date) return std::nullopt;
    return std::clamp<qint64>(now.msecsTo(*date), 0, kLongestRetryAfterMs);
}

}  // namespace qby::platform::linuxhost
