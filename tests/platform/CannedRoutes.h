#pragma once

#include "LocalHttpServer.h"

namespace qby::testsupport {

// What the network services' tests ask the local server for, by path: /plain, /unannounced (no
// length), /gzip (a gzip-encoded body), /short (closes before the announced end), /stall
// (stops sending, connection open), /drip (a byte every 100 ms), /busy (503), /bad (400), /redirect
// (to /plain), /downgrade (to an http address); other paths answer 404.
QList<HttpRoute> cannedRoutes();

// The bytes /gzip serves: "quillbay\n" compressed with gzip.
QByteArray cannedGzipBody();

}  // namespace qby::testsupport
