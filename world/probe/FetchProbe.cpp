// A stand-in network client for checking the sandbox's store: fetches one address with Qt's
// network stack, trusting only what the system's certificate folder holds, and writes the body.
//   FetchProbe <address> <output file>
// Prints the HTTP status and the byte count; ends with 1 and Qt's error text on any failure.
#include <QCoreApplication>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: FetchProbe address output\n");
        return 2;
    }
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(QString::fromUtf8(argv[1])));
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = network.get(request);
    QObject::connect(reply, &QNetworkReply::finished, &app, [&] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError) {
            std::fprintf(stderr, "%s\n", reply->errorString().toUtf8().constData());
            app.exit(1);
            return;
        }
        QFile out(QString::fromUtf8(argv[2]));
        const QByteArray body = reply->readAll();
        if (!out.open(QIODevice::WriteOnly) || out.write(body) != body.size()) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            app.exit(1);
            return;
        }
        std::printf("status %d bytes %lld\n", status, static_cast<long long>(body.size()));
        app.exit(0);
    });
    return app.exec();
}
