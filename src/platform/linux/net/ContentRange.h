#pragma once

#include <QByteArray>
#include <optional>

namespace qby::platform::linuxhost {

// The whole body's length that a 206 answer's Content-Range ("bytes 100-999/1000") gives, when
// it holds exactly the rest of the body from offset on, and the whole length is the one known
// before (knownLength, -1 when none was announced); nothing for any other range.
std::optional<qint64> lengthOfRestFrom(const QByteArray& contentRange, qint64 offset,
                                       qint64 knownLength);

}  // namespace qby::platform::linuxhost
