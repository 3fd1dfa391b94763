// Downloads one URL into a file through the Linux host's downloader, as the install road does,
// and exits 0 when the download finished.
#include "platform/linux/net/LinuxUrlDownloader.h"
#include "platform/linux/system/EventDispatcherChoice.h"

#include <QCoreApplication>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <cstdio>

namespace {

using namespace qby::platform;

class ExitingDelegate : public UrlDownloadDelegate {
public:
    void downloadDidBegin() override {}
    void downloadDidReceiveResponse(const UrlResponse&) override {}
    bool downloadShouldDecodeSourceDataOfMIMEType(const QString&) override { return false; }
    void downloadDidReceiveDataOfLength(quint64) override {}
    std::optional<qint64> downloadShouldRetryAfterError(const qby::foundation::Error&,
                                                        const FailedTry&) override {
        return std::nullopt;
    }
    void downloadWillResumeWithResponse(const UrlResponse&, qint64) override {}
    void downloadDidFinish() override { QCoreApplication::exit(0); }
    void downloadDidFailWithError(const qby::foundation::Error& error) override {
        std::fprintf(stderr, "%s\n", qPrintable(error.message));
        QCoreApplication::exit(1);
    }
};

}  // namespace

int main(int argc, char** argv) {
    linuxhost::EventDispatcherChoice::preferQtDispatcher();  // as the downloader runs
    QCoreApplication application(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: bench_download_client URL FILE [CA_CERTIFICATE]\n");
        return 2;
    }
    if (argc == 4) {  // the local server's own authority, for https
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(QSslCertificate::fromPath(QString::fromLocal8Bit(argv[3])));
        QSslConfiguration::setDefaultConfiguration(tls);
    }
    linuxhost::LinuxUrlDownloader downloader;
    ExitingDelegate delegate;
    std::unique_ptr<UrlDownload> download =
        downloader.startDownload(QUrl(QString::fromLocal8Bit(argv[1])), 60.0, delegate);
    download->setDeletesFileUponFailure(true);
    download->setDestination(QString::fromLocal8Bit(argv[2]), true);
    return application.exec();
}
