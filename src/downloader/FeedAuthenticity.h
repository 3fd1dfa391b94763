#pragma once

#include "foundation/Result.h"
#include "platform/ArchiveVerifier.h"
#include "platform/Bundle.h"
#include "platform/FileManager.h"
#include "platform/Pauses.h"
#include "platform/PropertyLists.h"
#include "platform/UrlLoader.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <atomic>

namespace qby::downloader {

// The store signs its release feed: beside appcast.xml lies appcast.xml.sig, the base64 Ed25519
// signature of the feed's exact bytes, and the feed's root dictionary carries "feedSerial" (a
// whole number raised by one at every write) and "feedExpires" (a date). A build that requires
// signatures takes only a feed signed by one of its keys, not past its expiry, and not older
// than the serial stamped into the downloader: whoever answers for the store's host can then
// neither strip the archives' signatures, nor serve an old feed, nor the same feed forever.

// The signature's URL is the feed's with this appended.
inline const QString kFeedSignatureSuffix = QStringLiteral(".sig");
inline const QString kFeedSerialKey = QStringLiteral("feedSerial");
inline const QString kFeedExpiresKey = QStringLiteral("feedExpires");
// A feed is still taken this long after its expiry: a clock a day off strands nobody.
inline constexpr qint64 kFeedExpiryGraceSeconds = 24 * 60 * 60;
// The feed serial that qby-stamp-downloader writes into a downloader's Resources folder, as
// decimal digits, and the most such a file may hold.
inline const QString kStampedFeedSerialResource = QStringLiteral("feedSerial");
inline const QString kStampedFeedSerialType = QStringLiteral("txt");
inline constexpr qint64 kStampedFeedSerialMaxBytes = 64;

// What a build demands of its release feed.
struct FeedRules {
    bool signatureRequired = false;
    // Raw 32-byte Ed25519 keys, any of which may have signed the feed.
    QList<QByteArray> publicKeys;
    // The lowest "feedSerial" taken: the stamped one, 0 when the downloader carries none, or why
    // the stamped one cannot be read (every feed is then refused).
    foundation::Result<qint64> serialFloor = qint64(0);
};

// The serial stamped into the bundle: 0 when it carries none; an error when the file is there
// but holds no whole number.
foundation::Result<qint64> stampedFeedSerial(const platform::Bundle& bundle,
                                             const platform::FileManager& fileManager);

// Whether signatureText (base64 of 64 bytes; white space around it ignored) is the Ed25519
// signature of feed by one of keys; the error says why not.
foundation::Status checkFeedSignature(const QByteArray& feed, const QByteArray& signatureText,
                                      const QList<QByteArray>& keys,
                                      platform::ArchiveVerifier& verifier);

// Whether the feed's root carries a "feedSerial" (a whole number) not below the floor and a
// "feedExpires" (a date) that, with a day's grace, has not passed at nowSeconds (seconds since
// 1970 UTC); the error says why not.
foundation::Status checkFeedFreshness(const QVariant& root,
                                      const foundation::Result<qint64>& serialFloor,
                                      qint64 nowSeconds);

// The feed fetch task's check of a feed it has read, off the main thread. Without a required
// signature it asks and checks nothing; with one it reads the signature (retried as the feed
// is, within the same size) and checks it, then the serial and the expiry. Errors carry
// kFeedUnusable and the reason for the log.
class FeedAuthenticator {
public:
    struct Services {
        platform::UrlLoader& urlLoader;
        platform::Pauses& pauses;
        platform::PropertyLists& propertyLists;
        platform::ArchiveVerifier& verifier;
    };

    FeedAuthenticator(FeedRules rules, Services services, qint64 nowSeconds)
        : rules_(std::move(rules)), services_(services), nowSeconds_(nowSeconds) {}

    foundation::Status check(const QUrl& feedUrl, qint64 maxBytes, const QByteArray& feed,
                             const std::atomic<bool>& cancelled) const;

private:
    FeedRules rules_;
    Services services_;
    qint64 nowSeconds_;
};

}  // namespace qby::downloader
