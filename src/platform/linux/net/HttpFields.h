#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <optional>

namespace qby::platform::linuxhost {

// The few header fields the downloader reads itself, each held to its grammar (RFC 9110):
// anything that does not fit counts as absent.

// A Content-Range of a byte range ("bytes 100-999/1000") or of an unsatisfied range
// ("bytes */1000").
struct ContentRange {
    qint64 first = -1;  // -1 for an unsatisfied range
    qint64 last = -1;
    qint64 completeLength = -1;  // -1 when the server wrote "*"
};
std::optional<ContentRange> parseContentRange(QByteArrayView value);

// The whole body's length that a 206 answer's Content-Range gives, when it holds exactly the
// rest of the body from offset on and the whole length is the one known before (knownLength,
// -1 when none was announced); nothing for any other range.
std::optional<qint64> lengthOfRestFrom(QByteArrayView contentRange, qint64 offset,
                                       qint64 knownLength);

// An IMF-fixdate ("Sun, 06 Nov 1994 08:49:37 GMT"), the form every sender must use.
std::optional<QDateTime> parseHttpDate(QByteArrayView value);

// What a later request may send back in If-Range to go on from these bytes: the ETag when it is
// a strong entity tag, else Last-Modified when it is a valid date; empty when neither (then a
// download cannot go on, it starts over).
QByteArray resumeValidator(QByteArrayView etag, QByteArrayView lastModified);
// Whether value, read back from a store, is one that resumeValidator gives.
bool isResumeValidator(QByteArrayView value);

// How long a Retry-After value asks a client to wait from now, in milliseconds: delay seconds or
// an HTTP date (0 for one already past); nothing when malformed. Long waits are capped at a day.
std::optional<qint64> retryAfterMilliseconds(QByteArrayView value, const QDateTime& now);

}  // namespace qby::platform::linuxhost
