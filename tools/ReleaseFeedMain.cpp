// qby-release-feed: adds a release to the store's release feed, with its archive's size, SHA-256
// and Ed25519 signature, and signs the feed itself with a serial and an expiry.

#include "ReleaseArchive.h"
#include "ReleaseFeedFile.h"
#include "RequestArguments.h"
#include "SigningKey.h"
#include "ToolExit.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <cstdio>

namespace {

using namespace qby;
using namespace qby::tools;

constexpr qint64 kDefaultValidDays = 30;

int failed(const foundation::Error& error) {
    return fail(kRefused, (error.code == EINVAL ? "refused: " : "failed: ") + error.message);
}

// The feed's expiry: an ISO 8601 date and time with its offset from UTC ("Z" for UTC itself),
// after now; none given, 30 days from now.
foundation::Result<QDateTime> expiryOf(const QString& text, const QDateTime& now) {
    if (text.isEmpty()) return now.addDays(kDefaultValidDays);
    const QDateTime expires = QDateTime::fromString(text, Qt::ISODate);
    if (!expires.isValid() || expires.timeSpec() == Qt::LocalTime) {
        return foundation::Error{EINVAL, QStringLiteral("--expires %1 is no ISO 8601 date and time "
                                                        "with its offset, such as "
                                                        "2027-01-31T00:00:00Z")
                                             .arg(text)};
    }
    if (expires <= now) {
        return foundation::Error{
            EINVAL,
            QStringLiteral("--expires %1 has passed: every downloader would refuse the feed")
                .arg(text)};
    }
    return expires.toUTC();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qby-release-feed"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Adds a release to a release feed (the property list that the downloader reads), or\n"
        "replaces the release of the same version; other entries and keys are kept, the feed is\n"
        "written anew and renamed into place. The archive's size, \"sha256\" and\n"
        "\"ed25519Signature\" are computed from the file, signed with the key in KEYFILE (PEM\n"
        "PKCS#8 Ed25519, as \"openssl genpkey -algorithm ed25519\" makes it).\n"
        "Every write raises the feed's \"feedSerial\" by one, sets its \"feedExpires\" and\n"
        "signs the feed's bytes with the same key into FILE.sig beside it.\n"
        "With --renew: only that, for a feed that is about to expire.\n"
        "With --public-key: prints KEYFILE's public key in base64, as the downloader's build\n"
        "takes it, and nothing else.");
    parser.addHelpOption();
    const QCommandLineOption feed("feed", "The feed to make or update.", "FILE");
    const QCommandLineOption archive("archive", "The release's archive (tgz or zip).", "FILE");
    const QCommandLineOption version("version", "The release's version; names the entry.", "TEXT");
    const QCommandLineOption minimum("minimum-system", "The oldest system it runs on.", "VERSION");
    const QCommandLineOption processors("processors",
                                        "The processors it runs on, e.g. \"i386 x86_64\" "
                                        "(default: the entry names none, any will do).",
                                        "TEXT");
    const QCommandLineOption url("url", "Where the downloader fetches the archive (https).", "URL");
    const QCommandLineOption key("key", "The signing key's file.", "KEYFILE");
    const QCommandLineOption publicKey("public-key", "Print the key's public key and end.");
    const QCommandLineOption expires(
        "expires",
        "When downloaders stop taking the feed, e.g. 2027-01-31T00:00:00Z (default: in 30 days).",
        "DATE");
    const QCommandLineOption renew("renew",
                                   "Add no release: raise the serial, set the expiry, "
                                   "sign again.");
    parser.addOptions(
        {feed, archive, version, minimum, processors, url, key, publicKey, expires, renew});
    if (!parser.parse(QCoreApplication::arguments())) return fail(kUsage, parser.errorText());
    if (parser.isSet("help")) parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty()) {
        return fail(kUsage, "unexpected " + parser.positionalArguments().join(' '));
    }
    const QList<QCommandLineOption> required =
        parser.isSet(publicKey) ? QList{key}
        : parser.isSet(renew)   ? QList{feed, key}
                                : QList{feed, archive, version, minimum, url, key};
    for (const QCommandLineOption& option : required) {
        if (parser.value(option).isEmpty()) {
            return fail(kUsage, QStringLiteral("--%1 is required").arg(option.names().first()));
        }
    }

    const foundation::Result<SigningKey> signingKey = SigningKey::read(parser.value(key));
    if (!signingKey) return failed(signingKey.error());
    if (parser.isSet(publicKey)) {
        std::printf("%s\n", signingKey.value().publicKey().toBase64().constData());
        return 0;
    }
    const foundation::Result<QDateTime> expiry =
        expiryOf(parser.value(expires), QDateTime::currentDateTimeUtc());
    if (!expiry) return failed(expiry.error());
    if (parser.isSet(renew) && !QFile::exists(parser.value(feed))) {
        return failed(
            {ENOENT, QStringLiteral("there is no feed %1 to renew").arg(parser.value(feed))});
    }
    foundation::Result<ReleaseFeedFile> releases = ReleaseFeedFile::read(parser.value(feed));
    if (!releases) return failed(releases.error());
    if (!parser.isSet(renew)) {
        const foundation::Result<ReleaseArchive> read =
            readReleaseArchive(parser.value(archive), parser.value(url), signingKey.value());
        if (!read) return failed(read.error());
        releases.value().put(Release{
            parser.value(version), parser.value(minimum),
            parser.isSet(processors) ? std::optional(parser.value(processors)) : std::nullopt,
            parser.value(url), read.value()});
    }
    if (const foundation::Status renewed = releases.value().renew(expiry.value()); !renewed) {
        return failed(renewed.error());
    }
    const foundation::Status written =
        releases.value().write(parser.value(feed), signingKey.value());
    return written ? 0 : failed(written.error());
}
