// The header fields the downloader parses itself (Content-Range, the validators sent back in
// If-Range, Retry-After) on arbitrary bytes: a range it accepts is ordered and within its whole
// length and reads the same once written again; a validator it keeps is one it would accept
// back from the cache and can stand in a request's header; a pause is between zero and a day; a
// date it accepts is written the same way again.
#include "FuzzInput.h"
#include "platform/linux/net/HttpFields.h"

#include <QLocale>

using namespace qby::platform::linuxhost;
using qby::fuzz::require;

namespace {

QString shown(const std::string& bytes) {
    return qby::fuzz::visible(QString::fromLatin1(bytes.data(), qsizetype(bytes.size())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string first = input.ConsumeRandomLengthString(size);
    const std::string second = input.ConsumeRemainingBytesAsString();
    const QByteArray a(first.data(), qsizetype(first.size()));
    const QByteArray b(second.data(), qsizetype(second.size()));

    if (const std::optional<ContentRange> range = parseContentRange(a)) {
        const bool unsatisfied = range->first < 0;
        require(unsatisfied ? range->last < 0 && range->completeLength >= 0
                            : range->first <= range->last && (range->completeLength < 0 ||
                                                              range->last < range->completeLength),
                "a range in order and within its length", shown(first));
        const QByteArray length =
            range->completeLength < 0 ? "*" : QByteArray::number(range->completeLength);
        const QByteArray written = unsatisfied ? "bytes */" + length
                                               : "bytes " + QByteArray::number(range->first) + '-' +
                                                     QByteArray::number(range->last) + '/' + length;
        const std::optional<ContentRange> again = parseContentRange(written);
        require(again && again->first == range->first && again->last == range->last &&
                    again->completeLength == range->completeLength,
                "a range reads the same written again", shown(first));
    }

    const QByteArray validator = resumeValidator(a, b);
    require(validator.isEmpty() || isResumeValidator(validator),
            "a kept validator is accepted back", shown(first) + " / " + shown(second));
    require(!validator.contains('\r') && !validator.contains('\n') && !validator.contains('\0'),
            "a kept validator fits in a header", shown(first) + " / " + shown(second));

    const QDateTime now = QDateTime::fromMSecsSinceEpoch(1'796'000'000'000, Qt::UTC);
    if (const std::optional<qint64> pause = retryAfterMilliseconds(a, now)) {
        require(*pause >= 0 && *pause <= 24LL * 3600 * 1000, "a pause within a day", shown(first));
    }
    if (const std::optional<QDateTime> date = parseHttpDate(a)) {
        const QString written =
            QLocale::c().toString(*date, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
        require(written.toLatin1() == a.trimmed(), "a date reads the same written again",
                shown(first));
    }
    return 0;
}
