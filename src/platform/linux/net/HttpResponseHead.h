#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <optional>

namespace qby::platform::linuxhost {

// The status line and the header fields of an HTTP/1.x answer.
struct HttpResponseHead {
    int status = 0;
    QByteArray reasonPhrase;
    // In order, names in lower case, values without surrounding white space.
    QList<QPair<QByteArray, QByteArray>> fields;

    // The last value of the named field (any case), empty when there is none.
    QByteArray field(const QByteArray& name) const;
    // Every value of the named field, in order.
    QList<QByteArray> fieldValues(const QByteArray& name) const;

    // The head's lines, each ended by CRLF or LF, without the empty line that ends the head;
    // nothing when it is not an HTTP/1.x answer: no "HTTP/1.x NNN" status line, a field without
    // a name or a colon, white space before a colon, a line folded onto the one above.
    static std::optional<HttpResponseHead> parse(const QByteArray& head);
};

}  // namespace qby::platform::linuxhost
