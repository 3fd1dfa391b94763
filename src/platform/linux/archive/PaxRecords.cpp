#include "platform/linux/archive/PaxRecords.h"

namespace qby::platform::linuxhost {

namespace {

// Far beyond any member of a release, and small enough that no sum of them overflows.
constexpr qint64 kMaxSize = qint64(1) << 48;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<qint64> decimal(QByteArrayView text) {
    if (text.isEmpty()) return std::nullopt;
    qint64 value = 0;
    for (char c : text) {
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > kMaxSize) return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<PaxRecords> PaxRecords::parse(const QByteArray& data, const char** reason) {
    PaxRecords records;
    auto refuse = [reason](const char* why) -> std::optional<PaxRecords> {
        *reason = why;
        return std::nullopt;
    };
    qsizetype at = 0;
    while (at < data.size()) {
        const QByteArrayView rest = QByteArrayView(data).sliced(at);
        qsizetype digits = 0;
        while (digits < rest.size() && digits < 10 && isDigit(rest[digits])) ++digits;
        const std::optional<qint64> length = decimal(rest.first(digits));
        if (!length || *length > rest.size() || digits >= rest.size() || rest[digits] != ' ') {
            return refuse("a pax record without a length that fits");
        }
        const QByteArrayView record = rest.first(*length);
        const qsizetype keyStart = digits + 1;
        const qsizetype equals = record.indexOf('=');
        // tar skips blanks before the key and reads the key up to a NUL: neither is allowed.
        if (equals <= keyStart || record.back() != '\n' || equals >= record.size() - 1 ||
            record[keyStart] == ' ' || record[keyStart] == '\t' ||
            record.first(equals).contains('\0')) {
            return refuse("a pax record of an unknown form");
        }
        const QByteArrayView key = record.sliced(keyStart, equals - keyStart);
        const QByteArrayView value = record.sliced(equals + 1, record.size() - equals - 2);
        if (key.startsWith("GNU.sparse.")) records.sparse = true;
        if (key == "path" || key == "linkpath") {
            std::optional<QByteArray>& kept = key == "path" ? records.path : records.linkPath;
            // tar ends a name at its first NUL; an empty value may stand for "the header's own".
            if (kept || value.isEmpty() || value.contains('\0')) {
                return refuse("a pax name given twice, empty or cut short");
            }
            kept = value.toByteArray();
        } else if (key == "size") {
            if (records.size || !(records.size = decimal(value))) {
                return refuse("a pax size given twice or not a number");
            }
        }
        at += *length;
    }
    return records;
}

}  // namespace qby::platform::linuxhost
