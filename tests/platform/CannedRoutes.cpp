#include "CannedRoutes.h"

namespace qby::testsupport {

QByteArray cannedGzipBody() {
    return QByteArray::fromHex("1f8b08000000000000032b2ccdccc9494aace40200a9b5a91e09000000");
}

QList<HttpRoute> cannedRoutes() {
    const QByteArray text = "Content-Type: text/plain; charset=utf-8";
    const QByteArray octets = "Content-Type: application/octet-stream";
    return {
        {.path = "/plain", .headers = {text}, .body = "hello world"},
        {.path = "/unannounced", .headers = {octets}, .body = "hello world", .announcedLength = -1},
        {.path = "/gzip",
         .headers = {"Content-Type: application/x-gzip", "Content-Encoding: gzip"},
         .body = cannedGzipBody()},
        {.path = "/short", .headers = {octets}, .body = "hello", .announcedLength = 10},
        {.path = "/stall",
         .headers = {octets},
         .body = "hello",
         .announcedLength = 10,
         .stall = true},
        {.path = "/drip", .headers = {octets}, .body = "hello", .dripMilliseconds = 100},
        {.path = "/busy", .status = 503, .headers = {text}, .body = "busy"},
        {.path = "/redirect", .status = 302, .headers = {"Location: /plain"}, .body = ""},
        {.path = "/downgrade",
         .status = 302,
         .headers = {"Location: http://127.0.0.1:1/plain"},
         .body = ""},
        {.path = "/bad", .status = 400, .headers = {text}, .body = "bad"},
    };
}

}  // namespace qby::testsupport
