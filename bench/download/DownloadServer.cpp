// Serves /body, a generated body of the given size, on 127.0.0.1 and prints its port.
#include "LocalHttpServer.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const qint64 bytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 0;
    if (bytes <= 0) {
        std::fprintf(stderr, "usage: bench_download_server BYTES\n");
        return 2;
    }
    qby::harness::LocalHttpServer server({{.path = "/body",
                                           .headers = {"Content-Type: application/x-gzip"},
                                           .generatedLength = bytes}});
    if (!server.listening()) return 1;
    std::printf("%u\n", server.port());
    std::fflush(stdout);
    return application.exec();
}
