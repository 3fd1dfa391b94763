#pragma once

#include <QByteArray>
#include <optional>

namespace qby::platform::linuxhost {

// The records of a pax extended header ("LENGTH KEY=VALUE\n", one after another, filling it)
// that decide where a member goes and how long it is. Strict: a record that tar would read in
// another way, or stop at, is refused, and so is a repeated key that matters here.
struct PaxRecords {
    std::optional<QByteArray> path;
    std::optional<QByteArray> linkPath;
    std::optional<qint64> size;
    bool sparse = false;  // a "GNU.sparse.*" key: the member's data is laid out otherwise

    // The records, or the reason they are refused.
    static std::optional<PaxRecords> parse(const QByteArray& data, const char** reason);
};

}  // namespace qby::platform::linuxhost
