#include "NamedCase.h"
#include "platform/linux/net/RunningSha256.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

struct DigestRow : testsupport::NamedCase {
    qint64 before;  // bytes added, then reset (-1: no reset)
    qint64 bytes;   // bytes added after that, in pieces of pieceBytes
    qint64 pieceBytes;
};

class RunningSha256Test : public testing::TestWithParam<DigestRow> {};

// Bytes that differ at every offset, so that a piece hashed twice, lost or out of order shows.
QByteArray bytesFrom(qint64 start, qint64 length) {
    QByteArray bytes(length, Qt::Uninitialized);
    for (qint64 i = 0; i < length; ++i) bytes[i] = char((start + i) * 131 % 251);
    return bytes;
}

TEST_P(RunningSha256Test, DigestsEveryByteOnceInOrder) {
    const DigestRow& row = GetParam();
    RunningSha256 digest;
    if (row.before >= 0) {
        const QByteArray earlier = bytesFrom(7, row.before);
        digest.add(earlier.constData(), earlier.size());
        digest.reset();
    }
    const QByteArray bytes = bytesFrom(0, row.bytes);
    QCryptographicHash expected(QCryptographicHash::Sha256);
    for (qint64 at = 0; at < bytes.size(); at += row.pieceBytes) {
        const qint64 length = std::min(row.pieceBytes, bytes.size() - at);
        digest.add(bytes.constData() + at, length);
        expected.addData(QByteArrayView(bytes.constData() + at, length));
        // A look in the middle leaves the running digest as it was.
        if (at == 0)
            EXPECT_EQ(digest.digest(),
                      QCryptographicHash::hash(bytes.first(length), QCryptographicHash::Sha256));
    }
    EXPECT_EQ(digest.digest(), expected.result());
}

INSTANTIATE_TEST_SUITE_P(Rows, RunningSha256Test,
                         testing::Values(DigestRow{"Nothing", -1, 0, 1},
                                         DigestRow{"SmallPieces", -1, 5 << 20, 7001},
                                         DigestRow{"OneLargePiece", -1, 3 << 20, 3 << 20},
                                         DigestRow{"AfterReset", 2 << 20, (1 << 20) + 5, 65536}),
                         testsupport::CaseName{});

}  // namespace
}  // namespace qby::platform::linuxhost
