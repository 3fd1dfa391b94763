#include "LocalHttpServer.h"
#include "NamedCase.h"
#include "SelfSignedCertificate.h"
#include "TestFiles.h"
#include "foundation/UserMessage.h"
#include "platform/linux/net/LinuxUrlDownloader.h"
#include "platform/linux/net/LinuxUrlLoader.h"
#include "platform/linux/system/LinuxDispatch.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
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
// More than the destination file holds back before it writes: it writes more than once.
const QByteArray kLarge = QByteArray("0123456789abcdef").repeated(160 * 1024);

// What the downloader and the loader ask the local server for, by path; others answer 404.
QList<HttpRoute> routes() {
    const QByteArray text = "Content-Type: text/plain; charset=utf-8";
    const QByteArray octets = "Content-Type: application/octet-stream";
    // clang-format off
    return {
        {.path = "/plain", .headers = {text}, .body = "hello world"},
        {.path = "/large", .headers = {octets}, .body = kLarge},
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
         .body = "5\r\nhello\r\nzz\r\n\r\n", .announcedLength = -1},
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
    int retries = 0;  // questions for another try answered with retryPauseMs, and written down
    qint64 retryPauseMs = 0;
    std::optional<QByteArray> finishedSha256;  // what the download said of its body at the end

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
    std::optional<qint64> downloadShouldRetryAfterError(const foundation::Error& error,
                                                        const FailedTry& failedTry) override {
        if (retries-- <= 0) return std::nullopt;
        events << QStringLiteral("retry %1 %2").arg(error.code).arg(failedTry.newBytes) +
                      (failedTry.retryAfterMs
                           ? QStringLiteral(" after %1").arg(*failedTry.retryAfterMs)
                           : QString());
        return retryPauseMs;
    }
    void downloadWillResumeWithResponse(const UrlResponse& response, qint64 offset) override {
        events << QStringLiteral("resume %1 from %2").arg(said(response)).arg(offset);
    }
    void downloadDidFinish() override {
        finishedSha256 = download->sha256OfBody();
        events << "finish";
        download.reset();
    }
    void downloadDidFailWithError(const foundation::Error& error) override {
        // Every failure is a sentence the owner can translate by its English format.
        EXPECT_FALSE(error.format.isEmpty()) << error.message.toStdString();
        EXPECT_EQ(foundation::filledIn(error.format, error.arguments), error.message);
        events << QStringLiteral("fail %1 %2").arg(error.code).arg(error.message);
        download.reset();
    }
    static QString said(const UrlResponse& r) {
        return QStringLiteral("%1 %2").arg(r.statusCode).arg(r.expectedContentLength);
    }
};

enum class Setup {
    Plain,
    ProxyThroughServer,
    DeadProxyBypassed,
    ZoneIdentifier,
    Https,
    Untrusted,
    CommonNameOnly
};

struct DownloadRow : testsupport::NamedCase {
    const char* path;
    std::string events;
    std::optional<QByteArray> file;  // nothing: no file is left at the destination
    Setup setup = Setup::Plain;
    int retries = 0;
    // What the second request asks for besides the path; "": the whole body, no range.
    const char* secondAsks = nullptr;
    qint64 promised = -1;  // the release's length
    double timeout = 5;
    int cancelAfter = 0;             // reports after which the test cancels the download
    const char* existing = nullptr;  // what the destination holds beforehand
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

// A server of routes() whose certificate for 127.0.0.1 is made for this run (its names as a
// subjectAltName extension, none when empty) and, when trusted, trusted by every client in the
// process; nothing when openssl failed.
std::unique_ptr<LocalHttpServer> tlsServer(const QTemporaryDir& folder, bool trusted,
                                           const QString& names) {
    const QString key = folder.filePath("key.pem");
    const QString certificate = folder.filePath("certificate.pem");
    QFile keyFile(key);
    if (!testsupport::makeSelfSignedCertificate(key, certificate, "127.0.0.1", names) ||
        !keyFile.open(QIODevice::ReadOnly))
        return nullptr;
    QSslConfiguration server = QSslConfiguration::defaultConfiguration();
    server.setPrivateKey(QSslKey(&keyFile, QSsl::Ec));
    server.setLocalCertificate(QSslCertificate::fromPath(certificate).value(0));
    QSslConfiguration client = QSslConfiguration::defaultConfiguration();
    client.addCaCertificate(server.localCertificate());
    if (trusted) QSslConfiguration::setDefaultConfiguration(client);
    return std::make_unique<LocalHttpServer>(routes(), server);
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
    std::unique_ptr<LocalHttpServer> tls;
    if (row.setup >= Setup::Https) {
        tls = tlsServer(folder_, row.setup != Setup::Untrusted,
                        row.setup == Setup::CommonNameOnly ? "" : "IP:127.0.0.1");
        ASSERT_TRUE(tls);
        url = tls->url(row.path);
    }
    if (QByteArray(row.path) == "refused") url.setPort(closedPort());
    if (row.setup == Setup::ZoneIdentifier) url.setHost("[::1%25lo]");
    const QString destination = folder_.filePath("archive.tgz");
    if (row.existing) ASSERT_TRUE(testsupport::writeFile(destination, row.existing));

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
const std::string kPlainEvents = "begin | response 200 11 text/plain | data 11 | finish";
const std::string kNoLength = "begin | response 200 -1 application/octet-stream | ";
const std::string kUnannouncedEvents = kNoLength + "data 11 | finish";
const std::string kUnconfirmed =
    "fail 302 The server sent the download without its length and "
    "would not confirm it, so it may be incomplete.";
const std::string kOf10 = "begin | response 200 10 application/octet-stream | data 5 | ";
const std::string kShortEvents =
    kOf10 + "fail 2 The server closed the connection after 5 of 10 bytes.";
const std::string kCutThenRetried =
    "begin | response 200 11 application/octet-stream | data 5 | retry 2 5 | ";
const std::string kWholeAgain = "response 200 11 application/octet-stream | data 11 | finish";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, LinuxUrlDownloadTest,
    testing::Values(
        DownloadRow{"Plain", "/plain", kPlainEvents, kPlain, Setup::Plain, 0, nullptr, -1, 5, 0, "an older and longer file"},
        DownloadRow{"NoLengthProvenByA416", "/unannounced", kUnannouncedEvents, kPlain, Setup::Plain, 0, "Range: bytes=11-"},
        DownloadRow{"NoLengthCutGoesOnWithARange", "/unannounced-cut", kNoLength + "data 5 | resume 206 11 from 5 | data 6 | "
                    "finish", kPlain, Setup::Plain, 0, "Range: bytes=5-\r\nIf-Range: \"v1\""},
        DownloadRow{"NoLengthUnproven", "/unproven", kNoLength + "data 5 | " + kUnconfirmed, {}},
        DownloadRow{"NoLengthOtherLengthProven", "/misproven", kNoLength + "data 5 | " + kUnconfirmed, {}},
        DownloadRow{"NoLengthShortOfTheRelease", "/unproven", kNoLength + "data 5 | fail 2 The server closed the connection "
                    "after 5 of 11 bytes.", {}, Setup::Plain, 0, nullptr, 11},
        DownloadRow{"NoLengthLongerThanTheRelease", "/unannounced", kNoLength + "fail 302 The download was larger than "
                    "announced. Please try again later.", {}, Setup::Plain, 0, nullptr, 5},
        DownloadRow{"AnnouncedLengthIsNotTheRelease", "/plain", "begin | fail 302 The server announced 11 bytes where the "
                    "release has 11000.", {}, Setup::Plain, 0, nullptr, 11000},
        DownloadRow{"NoContentIsNoBody", "/nocontent", "begin | fail 302 The server answered 204, which is no download.", {}},
        DownloadRow{"ZoneIdentifierRefused", "/plain", "begin | fail 302 The address names a network interface of this "
                    "computer, which is refused.", {}, Setup::ZoneIdentifier},
        DownloadRow{"HttpsCommonNameOnly", "/plain", "begin | fail 6 The server's certificate does not name 127.0.0.1 "
                    "among its names.", {}, Setup::CommonNameOnly},
        DownloadRow{"RetryAfterHonoured", "/busy-after", "begin | retry 503 0 after 4000 | " + kPlainEvents.substr(8), kPlain,
                    Setup::Plain, 1},
        DownloadRow{"BusyServerTriedAgain", "/busy-once", "begin | retry 503 0 | " + kPlainEvents.substr(8), kPlain,
                    Setup::Plain, 1},
        DownloadRow{"RestartBringsNothingNew", "/restarts", kCutThenRetried + "response 200 11 application/octet-stream | "
                    "data 8 | retry 2 3 | " + kWholeAgain, kPlain, Setup::Plain, 2},
        DownloadRow{"GzipStoredAsServed", "/gzip", "begin | response 200 29 application/x-gzip | decode application/x-gzip | "
                    "data 29 | finish", kGzipBody},
        DownloadRow{"NoRedirectFromHttpsToHttp", "/downgrade", "begin | fail 11 The server redirected the download from a "
                    "secure (https) address to an insecure (http) one, which is refused.", {}, Setup::Https},
        // Each hop's handshake checked for the hop's own host (a host the certificate does not
        // name at all is HostNameCheckTest's).
        DownloadRow{"HttpsRedirect", "/redirect", kPlainEvents, kPlain, Setup::Https},
        DownloadRow{"HttpsUntilClosed", "/unannounced", kUnannouncedEvents, kPlain, Setup::Https},
        DownloadRow{"HttpsChunked", "/chunked", kUnannouncedEvents, kPlain, Setup::Https},
        DownloadRow{"HttpsShortBody", "/short", kShortEvents, {}, Setup::Https},
        DownloadRow{"HttpsUntrusted", "/plain", "begin | fail 6 The download failed: SSL handshake failed: The certificate "
                    "is self-signed, and untrusted.", {}, Setup::Untrusted},
        DownloadRow{"ShortBody", "/short", kShortEvents, {}},
        DownloadRow{"NotFound", "/nothing-here", "begin | response 404 13  | fail 404 The server answered 404 Not Found.", {}},
        DownloadRow{"ErrorStatusLeavesAnOldFileAlone", "/busy", "begin | response 503 4 text/plain | fail 503 The server "
                    "answered 503 Service Unavailable.", "stale", Setup::Plain, 0, nullptr, -1, 5, 0, "stale"},
        DownloadRow{"Refused", "refused", "begin | fail 1 The download failed: Connection refused.", {}},
        DownloadRow{"Stall", "/stall", kOf10 + "fail 4 The server stopped sending data for 0.3 seconds.", {}, Setup::Plain,
                    0, nullptr, -1, 0.3},
        DownloadRow{"SlowButSteadyIsNoStall", "/drip", "begin | response 200 21 application/octet-stream | data 21 | finish",
                    kDripBody, Setup::Plain, 0, nullptr, -1, kDripStallSeconds},
        DownloadRow{"CancelReportsNothingMoreAndRemovesTheFile", "/stall", kOf10.substr(0, kOf10.size() - 3), {},
                    Setup::Plain, 0, nullptr, -1, 0.3, 3},
        DownloadRow{"CancelEndsTheWaitForTheNextTry", "/short", kOf10 + "retry 2 5", {}, Setup::Plain, 1, nullptr, -1, 5, 4},
        DownloadRow{"SystemProxy", "/plain", kPlainEvents, kPlain, Setup::ProxyThroughServer},
        DownloadRow{"NoProxyForLoopback", "/plain", kPlainEvents, kPlain, Setup::DeadProxyBypassed},
        DownloadRow{"ResumedFromTheBytesOnDisk", "/resume", kCutThenRetried + "resume 206 11 from 5 | data 6 | finish", kPlain,
                    Setup::Plain, 1, "Range: bytes=5-\r\nIf-Range: \"v1\""},
        DownloadRow{"ChangedFileStartsOver", "/changed", kCutThenRetried + kWholeAgain, kPlain, Setup::Plain, 1,
                    "If-Range: Mon, 07 Dec 2026 10:00:00 GMT"},
        DownloadRow{"RangeNotSatisfiableStartsOver", "/unsatisfiable", kCutThenRetried + kWholeAgain, kPlain, Setup::Plain, 1},
        DownloadRow{"WrongRangeFails", "/misplaced", kCutThenRetried + "fail 302 The server resumed the download at the "
                    "wrong place (bytes 0-10/11).", {}, Setup::Plain, 1},
        DownloadRow{"WeakValidatorStartsOverWithoutRange", "/unvalidated", kCutThenRetried + kWholeAgain, kPlain,
                    Setup::Plain, 1, ""},
        DownloadRow{"ChunkedCutShort", "/chunked-cut", kNoLength + "data 8 | fail 2 The download failed: Connection closed.", {}},
        DownloadRow{"ChunkedMalformed", "/chunked-bad", kNoLength + "data 5 | " + kUnconfirmed, {}},
        DownloadRow{"LargerThanTheWriteBuffer", "/large", "begin | response 200 2621440 application/octet-stream | data 2621440 | finish", kLarge},
        DownloadRow{"RedirectLoop", "/loop", "begin | fail 10 The download failed: Too many redirects.", {}}),
    testsupport::CaseName{});
// clang-format on

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

struct KeptRow : testsupport::NamedCase {
    std::optional<QFile::Permissions> made;  // the cache folder's, made beforehand
    bool throughLink;                        // the cache's path is a link to the folder
    bool keeps;                              // a cancelled download leaves its bytes there
    int ageDays;                             // of the bytes kept when the second start comes
    bool goesOn;
};

class PartialDownloadTest : public testing::TestWithParam<KeptRow> {
protected:
    LocalHttpServer server_{routes()};
    QTemporaryDir folder_;
};

// Another user who could write to the cache could hand a download bytes of their choosing;
// bytes a week old are not trusted to be of the same file.
TEST_P(PartialDownloadTest, NextStartGoesOnOnlyFromFreshBytesOfTheUsersAlone) {
    const KeptRow& row = GetParam();
    const QString real = folder_.filePath("quillbay.com");
    const QString cacheFolder = row.throughLink ? folder_.filePath("link") : real;
    if (row.made) ASSERT_TRUE(QDir().mkdir(real) && QFile::setPermissions(real, *row.made));
    if (row.throughLink) ASSERT_TRUE(QFile::link(real, cacheFolder));
    LinuxUrlDownloader downloader(cacheFolder);
    const auto start = [&](RecordingDelegate& delegate, const QString& destination) {
        delegate.download = downloader.startDownload(server_.url("/kept"), 5, delegate);
        delegate.download->setDeletesFileUponFailure(true);
        delegate.download->setDestination(folder_.filePath(destination), true);
    };
    {  // Until the first data, then cancelled: what is left in the cache.
        RecordingDelegate first;
        first.cancelAtFirstData = true;
        start(first, "first.tgz");
        ASSERT_TRUE(QTest::qWaitFor([&] { return first.events.size() == 3; }, 5000));
    }
    EXPECT_FALSE(QFile::exists(folder_.filePath("first.tgz")));
    const QDir cache(real);
    const QStringList kept = cache.entryList(QDir::Files);
    ASSERT_EQ(kept.size(), row.keeps ? 2 : 0) << "the bytes and their validator";
    if (!row.made)
        EXPECT_EQ(QFileInfo(real).permissions(),
                  kOwnerOnly | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    if (row.keeps) {
        QFile part(cache.filePath(kept.filter(".part").value(0)));
        EXPECT_EQ(part.size(), 5);
        ASSERT_TRUE(part.open(QIODevice::ReadWrite));
        ASSERT_TRUE(part.setFileTime(QDateTime::currentDateTime().addDays(-row.ageDays),
                                     QFileDevice::FileModificationTime));
    }

    RecordingDelegate delegate;
    start(delegate, "second.tgz");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !delegate.download; }, 5000));
    const QByteArray asked = server_.requestHeads().value(1);
    EXPECT_EQ(asked.contains("Range: bytes=5-\r\nIf-Range: \"v1\""), row.goesOn)
        << asked.toStdString();
    EXPECT_EQ(cache.entryList(QDir::Files), QStringList()) << "taken, or too old to use";
    // Without the kept bytes a second start asks for the whole, and the part it is given
    // instead is no body.
    EXPECT_EQ(delegate.events.last().startsWith("fail 302"), !row.goesOn)
        << delegate.events.join(" | ").toStdString();
    QFile stored(folder_.filePath("second.tgz"));
    EXPECT_TRUE(!row.goesOn || (stored.open(QIODevice::ReadOnly) && stored.readAll() == kPlain));
    if (row.goesOn)
        EXPECT_EQ(delegate.finishedSha256, sha256Of(kPlain)) << "the kept bytes included";
}

INSTANTIATE_TEST_SUITE_P(Rows, PartialDownloadTest,
                         testing::Values(KeptRow{"Fresh", {}, false, true, 0, true},
                                         KeptRow{"WeekOld", {}, false, true, 8, false},
                                         KeptRow{"MadeOwnerOnly", kOwnerOnly, false, true, 0, true},
                                         KeptRow{"OpenToOthers",
                                                 kOwnerOnly | QFile::ReadOther | QFile::ExeOther,
                                                 false, false, 0, false},
                                         KeptRow{"GroupWritable", kOwnerOnly | QFile::WriteGroup,
                                                 false, false, 0, false},
                                         KeptRow{"ALink", kOwnerOnly, true, false, 0, false}),
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
    bool transient = false;          // worth another try
    const char* tlsNames = nullptr;  // over TLS, the certificate's alternative names
};

class LinuxUrlLoaderTest : public testing::TestWithParam<LoaderRow> {
protected:
    LocalHttpServer server_{routes()};
    QTemporaryDir folder_;
};

// The read runs on a pool thread, as the release feed's does, while the server answers from
// the main thread. Over TLS it refuses what the archive's download refuses: a certificate that
// names the host by its common name alone.
TEST_P(LinuxUrlLoaderTest, ReadsTheWholeBodyOrNothing) {
    const LoaderRow& row = GetParam();
    ASSERT_TRUE(server_.listening());
    QUrl url = server_.url(row.path);
    std::unique_ptr<LocalHttpServer> tls;
    if (row.tlsNames) {
        tls = tlsServer(folder_, true, row.tlsNames);
        ASSERT_TRUE(tls);
        url = tls->url(row.path);
    }
    LinuxUrlLoader loader(static_cast<int>(kDripStallSeconds * 1000));
    LinuxDispatch dispatch;
    std::optional<foundation::Result<QByteArray>> answer;
    dispatch.async([&] {
        foundation::Result<QByteArray> read = loader.dataWithContentsOfURL(url, row.maxBytes);
        dispatch.performOnMainThread([&answer, read] { answer = read; });
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
    EXPECT_EQ(answer->ok() ? std::optional(answer->value()) : std::nullopt, row.body)
        << (answer->ok() ? "" : answer->error().message.toStdString());
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
                    LoaderRow{"SlowButSteadyIsNoStall", "/drip", 100, kDripBody},
                    LoaderRow{"TlsNamedByAddress", "/plain", 100, kPlain, false, "IP:127.0.0.1"},
                    LoaderRow{"TlsCommonNameOnly", "/plain", 100, {}, false, ""}),
    testsupport::CaseName{});
// clang-format on

}  // namespace
}  // namespace qby::platform::linuxhost
