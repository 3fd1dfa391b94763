#include "LocalHttpServer.h"
#include "NamedCase.h"
#include "foundation/UserMessage.h"
#include "platform/linux/net/LinuxUrlDownloader.h"
#include "platform/linux/net/LinuxUrlLoader.h"
#include "platform/linux/system/LinuxDispatch.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslKey>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

namespace qby::platform::linuxhost {
namespace {

using harness::HttpRoute;
using harness::LocalHttpServer;

// "quillbay\n" compressed with gzip.
const QByteArray kGzipBody =
    QByteArray::fromHex("1f8b08000000000000032b2ccdccc9494aace40200a9b5a91e09000000");

const QByteArray kDripBody = "hello, slowly, slowly";
constexpr double kDripStallSeconds = 1.5;

// What the downloader and the loader ask the local server for, by path; others answer 404.
QList<HttpRoute> routes() {
    const QByteArray text = "Content-Type: text/plain; charset=utf-8";
    const QByteArray octets = "Content-Type: application/octet-stream";
    // clang-format off
    return {
        {.path = "/plain", .headers = {text}, .body = "hello world"},
        // Read until close, then a 416 for the bytes past it proves the length.
        {.path = "/unannounced", .headers = {octets}, .body = "hello world", .announcedLength = -1},
        {.path = "/unannounced", .status = 416, .headers = {"Content-Range: bytes */11"}},
        // Cut after 5 bytes without length: the request for the rest brings it.
        {.path = "/unannounced-cut", .headers = {octets, "ETag: \"v1\""}, .body = "hello", .announcedLength = -1},
        {.path = "/unannounced-cut", .status = 206, .headers = {octets, "Content-Range: bytes 5-10/11"}, .body = " world"},
        // Sent whole again without length: nothing proves the end.
        {.path = "/unproven", .headers = {octets}, .body = "hello", .announcedLength = -1},
        {.path = "/misproven", .headers = {octets}, .body = "hello", .announcedLength = -1},
        {.path = "/misproven", .status = 416, .headers = {"Content-Range: bytes */11"}},
        {.path = "/nocontent", .status = 204},
        // Each try starts over, without a validator: cut at 5, at 8, then whole.
        {.path = "/restarts", .headers = {octets}, .body = "hello", .announcedLength = 11},
        {.path = "/restarts", .headers = {octets}, .body = "hello wo", .announcedLength = 11},
        {.path = "/restarts", .headers = {octets}, .body = "hello world"},
        {.path = "/gzip", .headers = {"Content-Type: application/x-gzip", "Content-Encoding: gzip"}, .body = kGzipBody},
        {.path = "/short", .headers = {octets}, .body = "hello", .announcedLength = 10},
        {.path = "/stall", .headers = {octets}, .body = "hello", .announcedLength = 10, .stall = true},
        // A byte each 100 ms for 2 s: beyond the 1.5 s stall limit, and far below it per byte.
        {.path = "/drip", .headers = {octets}, .body = kDripBody, .dripMilliseconds = 100},
        {.path = "/busy", .status = 503, .headers = {text}, .body = "busy"},
        {.path = "/busy-after", .status = 503, .headers = {text, "Retry-After: 4"}, .body = "busy"},
        {.path = "/busy-after", .headers = {text}, .body = "hello world"},
        {.path = "/injected", .headers = {octets, "ETag: \"a\"\rX-Injected: yes"}, .body = "hello", .announcedLength = 11},
        {.path = "/injected", .headers = {octets}, .body = "hello world"},
        {.path = "/redirect", .status = 302, .headers = {"Location: /plain"}},
        {.path = "/downgrade", .status = 302, .headers = {"Location: http://127.0.0.1:1/plain"}},
        {.path = "/bad", .status = 400, .headers = {text}, .body = "bad"},
        // Each cut after 5 of 11 bytes, then answered as the path says.
        {.path = "/resume", .headers = {octets, "ETag: \"v1\""}, .body = "hello", .announcedLength = 11},
        {.path = "/resume", .status = 206, .headers = {octets, "Content-Range: bytes 5-10/11"}, .body = " world"},
        {.path = "/changed", .headers = {octets, "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT"}, .body = "HELLO", .announcedLength = 11},
        {.path = "/changed", .headers = {octets}, .body = "hello world"},
        {.path = "/unsatisfiable", .headers = {octets, "ETag: \"v1\""}, .body = "hello", .announcedLength = 11},
        {.path = "/unsatisfiable", .status = 416, .headers = {text}, .body = "no"},
        {.path = "/unsatisfiable", .headers = {octets}, .body = "hello world"},
        {.path = "/misplaced", .headers = {octets, "ETag: \"v1\""}, .body = "hello", .announcedLength = 11},
        {.path = "/misplaced", .status = 206, .headers = {octets, "Content-Range: bytes 0-10/11"}, .body = "hello world"},
        {.path = "/unvalidated", .headers = {octets, "ETag: W/\"v1\""}, .body = "HELLO", .announcedLength = 11},
        {.path = "/unvalidated", .headers = {octets}, .body = "hello world"},
        {.path = "/kept", .headers = {octets, "ETag: \"v1\""}, .body = "hello", .announcedLength = 11, .stall = true},
        {.path = "/kept", .status = 206, .headers = {octets, "Content-Range: bytes 5-10/11"}, .body = " world"},
        {.path = "/chunked", .headers = {octets, "Transfer-Encoding: chunked"},
         .body = "5;x=y\r\nhello\r\n6\r\n world\r\n0\r\nTrailer: t\r\n\r\n", .announcedLength = -1},
        {.path = "/chunked", .status = 416, .headers = {"Content-Range: bytes */11"}},
        {.path = "/chunked-cut", .headers = {octets, "Transfer-Encoding: chunked"},
         .body = "5\r\nhello\r\n6\r\n wo", .announcedLength = -1},
        {.path = "/chunked-bad", .headers = {octets, "Transfer-Encoding: chunked"},
         .body = "5\r\nhello\r\nzz\r\n", .announcedLength = -1},
        {.path = "/loop", .status = 302, .headers = {"Location: /loop"}},
        {.path = "/busy-once", .status = 503, .headers = {text}, .body = "busy"},
        {.path = "/busy-once", .headers = {text}, .body = "hello world"}};
    // clang-format on
}

// Writes each report down as one line, chunks of data summed; ends the download at its last
// report, as its owner does.
class RecordingDelegate : public UrlDownloadDelegate {
public:
    std::unique_ptr<UrlDownload> download;
    QStringList events;
    bool cancelAtFirstData = false;

    void downloadDidBegin() override { events << "begin"; }
    void downloadDidReceiveResponse(const UrlResponse& response) override {
        events << "response " + said(response) + ' ' + response.mimeType;
    }
    bool downloadShouldDecodeSourceDataOfMIMEType(const QString& encodingType) override {
        events << "decode " + encodingType;
        return true;  // a body is stored as served whatever the answer
    }
    void downloadDidReceiveDataOfLength(quint64 length) override {
        if (events.last().startsWith("data ")) {
            length += events.takeLast().mid(5).toULongLong();
        } else if (cancelAtFirstData) {
            download->cancel();
        }
        events << QStringLiteral("data %1").arg(length);
    }
    // Answers "at once" to this many questions for another try, and writes them down.
    int retries = 0;
    std::optional<qint64> downloadShouldRetryAfterError(const foundation::Error& error,
                                                        const FailedTry& failedTry) override {
        if (retries-- <= 0) return std::nullopt;
        events << QStringLiteral("retry %1 %2").arg(error.code).arg(failedTry.newBytes) +
                      (failedTry.retryAfterMs
                           ? QStringLiteral(" after %1").arg(*failedTry.retryAfterMs)
                           : QString());
        return retryPauseMs;
    }
    qint64 retryPauseMs = 0;
    void downloadWillResumeWithResponse(const UrlResponse& response, qint64 offset) override {
        events << QStringLiteral("resume %1 from %2").arg(said(response)).arg(offset);
    }
    // What the download said of the body it holds as it finished.
    std::optional<QByteArray> finishedSha256;
    void downloadDidFinish() override {
        finishedSha256 = download->sha256OfBody();
        end("finish");
    }
    void downloadDidFailWithError(const foundation::Error& error) override {
        // Every failure is a sentence the owner can translate by its English format.
        EXPECT_FALSE(error.format.isEmpty()) << error.message.toStdString();
        EXPECT_EQ(foundation::filledIn(error.format, error.arguments), error.message);
        end(QStringLiteral("fail %1 %2").arg(error.code).arg(error.message));
    }

private:
    static QString said(const UrlResponse& r) {
        return QStringLiteral("%1 %2").arg(r.statusCode).arg(r.expectedContentLength);
    }
    void end(const QString& event) {
        events << event;
        download.reset();
    }
};

enum class Setup {
    Plain,
    ProxyThroughServer,
    DeadProxyBypassed,
    ZoneIdentifier,
    Https,
    Untrusted,
    OtherName,
    CommonNameOnly
};

struct DownloadRow : testsupport::NamedCase {
    const char* path;
    std::string events;
    std::optional<QByteArray> file;  // nothing: no file is left at the destination
    const char* existing = nullptr;  // what the destination holds beforehand
    double timeout = 5;
    int cancelAfter = 0;  // reports after which the test cancels the download
    Setup setup = Setup::Plain;
    int retries = 0;
    // What the second request asks for besides the path; "": the whole body, no range.
    const char* secondAsks = nullptr;
    qint64 promised = -1;  // the release's length
};

class LinuxUrlDownloadTest : public testing::TestWithParam<DownloadRow> {
protected:
    // Rows that need a proxy name it themselves; loopback must not reach the runner's proxy.
    static void SetUpTestSuite() { qunsetenv("http_proxy"); }
    void TearDown() override {
        qunsetenv("http_proxy");
        qunsetenv("no_proxy");
    }

    LocalHttpServer server_{routes()};
    QTemporaryDir folder_;
    QTemporaryDir cache_;
    LinuxUrlDownloader downloader_{cache_.path() + "/quillbay.com"};
};

// A certificate for 127.0.0.1 made for this run (its names as a subjectAltName extension, none
// when empty) and, when trusted, trusted by every client in the process: the server's TLS
// configuration, or nothing when openssl failed.
std::optional<QSslConfiguration> selfSignedTls(const QTemporaryDir& folder, bool trusted,
                                               const QString& names = "IP:127.0.0.1") {
    const QString key = folder.filePath("key.pem");
    const QString certificate = folder.filePath("certificate.pem");
    QStringList arguments{
        "req",    "-x509", "-newkey",  "ec",    "-pkeyopt",      "ec_paramgen_curve:prime256v1",
        "-nodes", "-days", "1",        "-subj", "/CN=127.0.0.1", "-keyout",
        key,      "-out",  certificate};
    if (!names.isEmpty())
        arguments << "-addext"
                  << "subjectAltName=" + names;
    const int status = QProcess::execute("openssl", arguments);
    QFile keyFile(key);
    if (status != 0 || !keyFile.open(QIODevice::ReadOnly)) return std::nullopt;
    QSslConfiguration server = QSslConfiguration::defaultConfiguration();
    server.setPrivateKey(QSslKey(&keyFile, QSsl::Ec));
    server.setLocalCertificate(QSslCertificate::fromPath(certificate).value(0));
    QSslConfiguration client = QSslConfiguration::defaultConfiguration();
    client.addCaCertificate(server.localCertificate());
    if (trusted) QSslConfiguration::setDefaultConfiguration(client);
    return server;
}

std::optional<QByteArray> sha256Of(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// A port on which nothing listens.
quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

TEST_P(LinuxUrlDownloadTest, ReportsAndStoresTheBody) {
    const DownloadRow& row = GetParam();
    ASSERT_TRUE(server_.listening());
    QUrl url = server_.url(row.path);
    if (row.setup == Setup::ProxyThroughServer) {
        qputenv("http_proxy", server_.url("").toEncoded());
        url = QUrl(QStringLiteral("http://store.quillbay.invalid") + row.path);
    } else if (row.setup == Setup::DeadProxyBypassed) {
        qputenv("http_proxy", QByteArray("http://127.0.0.1:") + QByteArray::number(closedPort()));
        qputenv("no_proxy", "127.0.0.1");
    }
    std::unique_ptr<LocalHttpServer> tlsServer;
    if (row.setup >= Setup::Https) {
        const std::optional<QSslConfiguration> tls =
            selfSignedTls(folder_, row.setup != Setup::Untrusted,
                          row.setup == Setup::CommonNameOnly ? "" : "IP:127.0.0.1");
        ASSERT_TRUE(tls);
        tlsServer = std::make_unique<LocalHttpServer>(routes(), tls);
        url = tlsServer->url(row.path);
        if (row.setup == Setup::OtherName) url.setHost("localhost");
    }
    if (QByteArray(row.path) == "refused") url.setPort(closedPort());
    if (row.setup == Setup::ZoneIdentifier) url.setHost("[::1%25lo]");
    const QString destination = folder_.filePath("archive.tgz");
    QFile existing(destination);
    if (row.existing)
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly) && existing.write(row.existing) >= 0);
    existing.close();

    RecordingDelegate delegate;
    delegate.retries = row.retries;
    delegate.retryPauseMs = row.cancelAfter > 0 ? 300 : 0;  // time to cancel in
    delegate.download = downloader_.startDownload(url, row.timeout, delegate);
    delegate.download->setDeletesFileUponFailure(true);
    delegate.download->setPromisedLength(row.promised);
    delegate.download->setDestination(destination, true);
    EXPECT_TRUE(delegate.events.isEmpty()) << "a report came before the creator returned";

    if (row.cancelAfter > 0) {
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return delegate.events.size() == row.cancelAfter; }, 5000));
        delegate.download->cancel();
        QTest::qWait(900);  // a stall or the next try would have come
        EXPECT_EQ(server_.requestLines().size(), 1);
    } else {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !delegate.download; }, 5000));
    }
    EXPECT_EQ(delegate.events.join(" | ").toStdString(), row.events);
    QFile stored(destination);
    EXPECT_EQ(stored.exists(), row.file.has_value());
    EXPECT_TRUE(!row.file || (stored.open(QIODevice::ReadOnly) && stored.readAll() == *row.file));
    if (row.events.ends_with("finish"))
        EXPECT_EQ(delegate.finishedSha256, sha256Of(*row.file)) << "however many tries";
    if (row.secondAsks) {
        const QByteArray second = server_.requestHeads().value(1);
        EXPECT_TRUE(*row.secondAsks ? second.contains(row.secondAsks) : !second.contains("Range"))
            << second.toStdString();
    }
    if (row.setup == Setup::ProxyThroughServer)
        EXPECT_EQ(server_.requestLines().value(0).split(' ').value(1),
                  QByteArray("http://store.quillbay.invalid") + row.path);
}

const QByteArray kPlain = "hello world";
const char* const kPlainEvents = "begin | response 200 11 text/plain | data 11 | finish";
const char* const kUnannouncedEvents =
    "begin | response 200 -1 application/octet-stream | data 11 | finish";
const char* const kShortEvents =
    "begin | response 200 10 application/octet-stream | data 5 | "
    "fail 2 The server closed the connection after 5 of 10 bytes.";
const std::string kCutThenRetried =
    "begin | response 200 11 application/octet-stream | data 5 | retry 2 5 | ";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, LinuxUrlDownloadTest,
    testing::Values(
        DownloadRow{"Plain", "/plain", kPlainEvents, kPlain, "an older and longer file"},
        DownloadRow{"NoLengthProvenByA416", "/unannounced", kUnannouncedEvents, kPlain, nullptr, 5, 0,
                    Setup::Plain, 0, "Range: bytes=11-"},
        DownloadRow{"NoLengthCutGoesOnWithARange", "/unannounced-cut", "begin | response 200 -1 "
                    "application/octet-stream | data 5 | resume 206 11 from 5 | data 6 | finish", kPlain,
                    nullptr, 5, 0, Setup::Plain, 0, "Range: bytes=5-\r\nIf-Range: \"v1\""},
        DownloadRow{"NoLengthUnproven", "/unproven", "begin | response 200 -1 application/octet-stream | "
                    "data 5 | fail 302 The server sent the download without its length and would not "
                    "confirm it, so it may be incomplete.", {}},
        DownloadRow{"NoLengthOtherLengthProven", "/misproven", "begin | response 200 -1 "
                    "application/octet-stream | data 5 | fail 302 The server sent the download without its "
                    "length and would not confirm it, so it may be incomplete.", {}},
        DownloadRow{"NoLengthShortOfTheRelease", "/unproven", "begin | response 200 -1 application/octet-stream | "
                    "data 5 | fail 2 The server closed the connection after 5 of 11 bytes.", {}, nullptr, 5,
                    0, Setup::Plain, 0, nullptr, 11},
        DownloadRow{"NoLengthLongerThanTheRelease", "/unannounced", "begin | response 200 -1 "
                    "application/octet-stream | fail 302 The download was larger than announced. Please try "
                    "again later.",
                    {}, nullptr, 5, 0, Setup::Plain, 0, nullptr, 5},
        DownloadRow{"AnnouncedLengthIsNotTheRelease", "/plain", "begin | fail 302 The server announced 11 "
                    "bytes where the release has 11000.", {}, nullptr, 5, 0, Setup::Plain, 0, nullptr, 11000},
        DownloadRow{"NoContentIsNoBody", "/nocontent", "begin | fail 302 The server answered 204, which is "
                    "no download.", {}},
        DownloadRow{"ZoneIdentifierRefused", "/plain", "begin | fail 302 The address names a network "
                    "interface of this computer, which is refused.", {}, nullptr, 5, 0, Setup::ZoneIdentifier},
        DownloadRow{"HttpsCommonNameOnly", "/plain", "begin | fail 6 The server's certificate does not name "
                    "127.0.0.1 among its names.", {}, nullptr, 5, 0, Setup::CommonNameOnly},
        DownloadRow{"RetryAfterHonoured", "/busy-after", "begin | retry 503 0 after 4000 | response 200 11 "
                    "text/plain | data 11 | finish", kPlain, nullptr, 5, 0, Setup::Plain, 1},
        DownloadRow{"MalformedETagNotSentBack", "/injected", kCutThenRetried +
                    "response 200 11 application/octet-stream | data 11 | finish", kPlain, nullptr, 5, 0,
                    Setup::Plain, 1, ""},
        DownloadRow{"RestartBringsNothingNew", "/restarts", kCutThenRetried + "response 200 11 "
                    "application/octet-stream | data 8 | retry 2 3 | response 200 11 application/octet-stream"
                    " | data 11 | finish", kPlain, nullptr, 5, 0, Setup::Plain, 2},
        DownloadRow{"GzipStoredAsServed", "/gzip", "begin | response 200 29 application/x-gzip | "
                    "decode application/x-gzip | data 29 | finish", kGzipBody},
        DownloadRow{"RedirectFollowedAndNotReported", "/redirect", kPlainEvents, kPlain},
        DownloadRow{"BadRequest", "/bad",
                    "begin | response 400 3 text/plain | fail 400 The server answered 400 Bad Request.", {}},
        DownloadRow{"NoRedirectFromHttpsToHttp", "/downgrade",
                    "begin | fail 11 The server redirected the download from a secure (https) "
                    "address to an insecure (http) one, which is refused.", {}, nullptr, 5, 0, Setup::Https},
        DownloadRow{"Https", "/plain", kPlainEvents, kPlain, nullptr, 5, 0, Setup::Https},
        // Each hop's handshake checked for the hop's own host.
        DownloadRow{"HttpsRedirect", "/redirect", kPlainEvents, kPlain, nullptr, 5, 0, Setup::Https},
        DownloadRow{"HttpsUntilClosed", "/unannounced", kUnannouncedEvents, kPlain, nullptr, 5, 0, Setup::Https},
        DownloadRow{"HttpsChunked", "/chunked", kUnannouncedEvents, kPlain, nullptr, 5, 0, Setup::Https},
        DownloadRow{"HttpsShortBody", "/short", kShortEvents, {}, nullptr, 5, 0, Setup::Https},
        DownloadRow{"HttpsUntrusted", "/plain", "begin | fail 6 The download failed: SSL handshake failed: "
                    "The certificate is self-signed, and untrusted.", {}, nullptr, 5, 0, Setup::Untrusted},
        DownloadRow{"HttpsCertificateForAnotherName", "/plain", "begin | fail 6 The download failed: SSL "
                    "handshake failed: The host name did not match any of the valid hosts for this certificate.", {}, nullptr, 5, 0, Setup::OtherName},
        DownloadRow{"ShortBody", "/short", kShortEvents, {}},
        DownloadRow{"NotFound", "/nothing-here",
                    "begin | response 404 13  | fail 404 The server answered 404 Not Found.", {}},
        DownloadRow{"ErrorStatusLeavesAnOldFileAlone", "/busy", "begin | response 503 4 text/plain | "
                    "fail 503 The server answered 503 Service Unavailable.", "stale", "stale"},
        DownloadRow{"Refused", "refused", "begin | fail 1 The download failed: Connection refused.", {}},
        DownloadRow{"Stall", "/stall", "begin | response 200 10 application/octet-stream | data 5 | "
                    "fail 4 The server stopped sending data for 0.3 seconds.", {}, nullptr, 0.3},
        DownloadRow{"SlowButSteadyIsNoStall", "/drip",
                    "begin | response 200 21 application/octet-stream | data 21 | finish", kDripBody, nullptr,
                    kDripStallSeconds},
        DownloadRow{"CancelReportsNothingMoreAndRemovesTheFile", "/stall",
                    "begin | response 200 10 application/octet-stream | data 5", {}, nullptr, 0.3, 3},
        DownloadRow{"CancelEndsTheWaitForTheNextTry", "/short", "begin | response 200 10 application/octet-stream | "
                    "data 5 | retry 2 5", {}, nullptr, 5, 4, Setup::Plain, 1},
        DownloadRow{"SystemProxy", "/plain", kPlainEvents, kPlain, nullptr, 5, 0, Setup::ProxyThroughServer},
        DownloadRow{"NoProxyForLoopback", "/plain", kPlainEvents, kPlain, nullptr, 5, 0,
                    Setup::DeadProxyBypassed},
        DownloadRow{"ResumedFromTheBytesOnDisk", "/resume", kCutThenRetried +
                    "resume 206 11 from 5 | data 6 | finish", kPlain, nullptr, 5, 0, Setup::Plain, 1,
                    "Range: bytes=5-\r\nIf-Range: \"v1\""},
        DownloadRow{"ChangedFileStartsOver", "/changed", kCutThenRetried +
                    "response 200 11 application/octet-stream | data 11 | finish", kPlain, nullptr, 5,
                    0, Setup::Plain, 1, "If-Range: Mon, 07 Dec 2026 10:00:00 GMT"},
        DownloadRow{"RangeNotSatisfiableStartsOver", "/unsatisfiable", kCutThenRetried +
                    "response 200 11 application/octet-stream | data 11 | finish", kPlain, nullptr, 5, 0,
                    Setup::Plain, 1},
        DownloadRow{"WrongRangeFails", "/misplaced", kCutThenRetried +
                    "fail 302 The server resumed the download at the wrong place (bytes 0-10/11).",
                    {}, nullptr, 5, 0, Setup::Plain, 1},
        DownloadRow{"WeakValidatorStartsOverWithoutRange", "/unvalidated", kCutThenRetried +
                    "response 200 11 application/octet-stream | data 11 | finish", kPlain, nullptr, 5,
                    0, Setup::Plain, 1, ""},
        DownloadRow{"Chunked", "/chunked", kUnannouncedEvents, kPlain},
        DownloadRow{"ChunkedCutShort", "/chunked-cut", "begin | response 200 -1 application/octet-stream | "
                    "data 8 | fail 2 The download failed: Connection closed.", {}},
        DownloadRow{"ChunkedMalformed", "/chunked-bad", "begin | response 200 -1 application/octet-stream | "
                    "data 5 | fail 302 The server sent the download without its length and would not "
                    "confirm it, so it may be incomplete.", {}},
        DownloadRow{"RedirectLoop", "/loop", "begin | fail 10 The download failed: Too many redirects.", {}},
        DownloadRow{"BusyServerTriedAgain", "/busy-once",
                    "begin | retry 503 0 | response 200 11 text/plain | data 11 | finish", kPlain, nullptr,
                    5, 0, Setup::Plain, 1}),
    testsupport::CaseName{});
// clang-format on

struct KeptRow : testsupport::NamedCase {
    int ageDays;  // of the bytes kept when the second start comes
    bool goesOn;
};

class PartialDownloadTest : public testing::TestWithParam<KeptRow> {
protected:
    LocalHttpServer server_{routes()};
    QTemporaryDir folder_;
    QString cacheFolder_ = folder_.filePath("cache/quillbay.com");
    LinuxUrlDownloader downloader_{cacheFolder_};
};

TEST_P(PartialDownloadTest, NextStartGoesOnFromTheKeptBytes) {
    {  // Until the first data, then cancelled: what is left in the cache.
        RecordingDelegate first;
        first.cancelAtFirstData = true;
        first.download = downloader_.startDownload(server_.url("/kept"), 5, first);
        first.download->setDeletesFileUponFailure(true);
        first.download->setDestination(folder_.filePath("first.tgz"), true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return first.events.size() == 3; }, 5000));
    }
    const QDir cache(cacheFolder_);
    const QStringList kept = cache.entryList(QDir::Files);
    ASSERT_EQ(kept.size(), 2) << "the bytes and their validator";
    EXPECT_EQ(QFileInfo(cacheFolder_).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                         QFile::ExeOwner | QFile::ReadUser |
                                                         QFile::WriteUser | QFile::ExeUser);
    QFile part(cache.filePath(kept.filter(".part").value(0)));
    EXPECT_EQ(part.size(), 5);
    ASSERT_TRUE(part.open(QIODevice::ReadWrite));
    ASSERT_TRUE(part.setFileTime(QDateTime::currentDateTime().addDays(-GetParam().ageDays),
                                 QFileDevice::FileModificationTime));
    part.close();

    RecordingDelegate delegate;
    const QString second = folder_.filePath("second.tgz");
    delegate.download = downloader_.startDownload(server_.url("/kept"), 5, delegate);
    delegate.download->setDeletesFileUponFailure(true);
    delegate.download->setDestination(second, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !delegate.download; }, 5000));
    const QByteArray asked = server_.requestHeads().value(1);
    EXPECT_EQ(asked.contains("Range: bytes=5-\r\nIf-Range: \"v1\""), GetParam().goesOn)
        << asked.toStdString();
    EXPECT_EQ(cache.entryList(QDir::Files), QStringList()) << "taken, or too old to use";
    QFile stored(second);
    EXPECT_TRUE(!GetParam().goesOn ||
                (stored.open(QIODevice::ReadOnly) && stored.readAll() == "hello world"));
    if (GetParam().goesOn)
        EXPECT_EQ(delegate.finishedSha256, sha256Of("hello world")) << "the kept bytes included";
    // Without the kept bytes a second start asks for the whole, and the part it is given
    // instead is no body.
    EXPECT_EQ(delegate.events.last().startsWith("fail 302"), !GetParam().goesOn)
        << delegate.events.join(" | ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Rows, PartialDownloadTest,
                         testing::Values(KeptRow{"Fresh", 0, true}, KeptRow{"WeekOld", 8, false}),
                         testsupport::CaseName{});

struct CacheFolderRow : testsupport::NamedCase {
    QFile::Permissions permissions;
    bool throughLink;  // the cache's path is a link to the folder
    bool keeps;
};

class CacheFolderTest : public testing::TestWithParam<CacheFolderRow> {
protected:
    LocalHttpServer server_{routes()};
    QTemporaryDir folder_;
};

// Another user who could write to the cache could hand a download bytes of their choosing.
TEST_P(CacheFolderTest, KeepsBytesOnlyInAFolderOfTheUsersAlone) {
    const CacheFolderRow& row = GetParam();
    const QString real = folder_.filePath("real");
    ASSERT_TRUE(QDir().mkdir(real) && QFile::setPermissions(real, row.permissions));
    const QString cacheFolder = row.throughLink ? folder_.filePath("link") : real;
    if (row.throughLink) ASSERT_TRUE(QFile::link(real, cacheFolder));
    LinuxUrlDownloader downloader(cacheFolder);
    RecordingDelegate first;
    first.cancelAtFirstData = true;
    first.download = downloader.startDownload(server_.url("/kept"), 5, first);
    first.download->setDeletesFileUponFailure(true);
    first.download->setDestination(folder_.filePath("first.tgz"), true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.events.size() == 3; }, 5000));
    first.download.reset();
    EXPECT_EQ(QDir(real).entryList(QDir::Files).size(), row.keeps ? 2 : 0);
    EXPECT_FALSE(QFile::exists(folder_.filePath("first.tgz")));
}

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

INSTANTIATE_TEST_SUITE_P(
    Rows, CacheFolderTest,
    testing::Values(CacheFolderRow{"OwnerOnly", kOwnerOnly, false, true},
                    CacheFolderRow{"OpenToOthers", kOwnerOnly | QFile::ReadOther | QFile::ExeOther,
                                   false, false},
                    CacheFolderRow{"GroupWritable", kOwnerOnly | QFile::WriteGroup, false, false},
                    CacheFolderRow{"ALink", kOwnerOnly, true, false}),
    testsupport::CaseName{});

// Every start clears out entries past a week, whatever URL they were for; files not named as
// entries are not the cache's to remove.
TEST(PartialDownloadCacheTest, StaleEntriesOfAnyUrlGoAtStart) {
    QTemporaryDir folder;
    const QString cache = folder.filePath("quillbay.com");
    ASSERT_TRUE(QDir().mkdir(cache) && QFile::setPermissions(cache, kOwnerOnly));
    const QString stale = QString(64, u'a') + ".part";
    const QString fresh = QString(64, u'b') + ".part";
    for (const QString& name : {stale, fresh, QString("notes.txt")}) {
        QFile file(cache + '/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("x") == 1 && file.flush());
        const int days = name == fresh ? 0 : 8;
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-days),
                                     QFileDevice::FileModificationTime));
    }
    LinuxUrlDownloader downloader(cache);
    EXPECT_EQ(QDir(cache).entryList(QDir::Files), QStringList({fresh, "notes.txt"}));
}

struct LoaderRow : testsupport::NamedCase {
    const char* path;
    qint64 maxBytes;
    std::optional<QByteArray> body;
    bool transient = false;  // worth another try
};

class LinuxUrlLoaderTest : public testing::TestWithParam<LoaderRow> {
protected:
    LocalHttpServer server_{routes()};
};

// The read runs on a pool thread, as the release feed's does, while the server answers from
// the main thread.
TEST_P(LinuxUrlLoaderTest, ReadsTheWholeBodyOrNothing) {
    const LoaderRow& row = GetParam();
    ASSERT_TRUE(server_.listening());
    LinuxUrlLoader loader(static_cast<int>(kDripStallSeconds * 1000));
    LinuxDispatch dispatch;
    std::optional<foundation::Result<QByteArray>> answer;
    const QUrl url = server_.url(row.path);
    dispatch.async([&] {
        foundation::Result<QByteArray> read = loader.dataWithContentsOfURL(url, row.maxBytes);
        dispatch.performOnMainThread([&answer, read] { answer = read; });
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
    EXPECT_EQ(answer->ok() ? std::optional(answer->value()) : std::nullopt, row.body);
    EXPECT_EQ(!answer->ok() && answer->error().transient, row.transient);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, LinuxUrlLoaderTest,
    testing::Values(LoaderRow{"ExactlyAtTheLimit", "/plain", 11, "hello world"},
                    LoaderRow{"AnnouncedOverTheLimit", "/plain", 10, {}},
                    LoaderRow{"UnannouncedOverTheLimit", "/unannounced", 10, {}},
                    LoaderRow{"ServerErrorIsTransient", "/busy", 100, {}, true},
                    LoaderRow{"ClientErrorIsNot", "/bad", 100, {}},
                    LoaderRow{"ShortBody", "/short", 100, {}, true},
                    LoaderRow{"Stall", "/stall", 100, {}, true},
                    LoaderRow{"SlowButSteadyIsNoStall", "/drip", 100, kDripBody}),
    testsupport::CaseName{});
// clang-format on

struct FeedNameRow : testsupport::NamedCase {
    const char* alternativeNames;  // the certificate's, beside its common name 127.0.0.1
    std::optional<QByteArray> body;
};

class FeedHostNameTest : public testing::TestWithParam<FeedNameRow> {
protected:
    QTemporaryDir folder_;
};

// The feed's read refuses what the archive's download refuses: a certificate that names the
// host by its common name alone, or whose alternative names name another.
TEST_P(FeedHostNameTest, ReadsOnlyFromAServerNamedByItsCertificate) {
    const std::optional<QSslConfiguration> tls =
        selfSignedTls(folder_, true, GetParam().alternativeNames);
    ASSERT_TRUE(tls);
    LocalHttpServer server(routes(), tls);
    LinuxUrlLoader loader;
    LinuxDispatch dispatch;
    std::optional<foundation::Result<QByteArray>> answer;
    const QUrl url = server.url("/plain");
    dispatch.async([&] {
        foundation::Result<QByteArray> read = loader.dataWithContentsOfURL(url, 100);
        dispatch.performOnMainThread([&answer, read] { answer = read; });
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
    EXPECT_EQ(answer->ok() ? std::optional(answer->value()) : std::nullopt, GetParam().body)
        << (answer->ok() ? "" : answer->error().message.toStdString());
}

INSTANTIATE_TEST_SUITE_P(Rows, FeedHostNameTest,
                         testing::Values(FeedNameRow{"NamedByAddress", "IP:127.0.0.1", kPlain},
                                         FeedNameRow{"CommonNameOnly", "", {}},
                                         FeedNameRow{
                                             "OtherAlternativeName", "DNS:store.invalid", {}}),
                         testsupport::CaseName{});

}  // namespace
}  // namespace qby::platform::linuxhost
