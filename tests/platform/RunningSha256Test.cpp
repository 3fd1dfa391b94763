#include "NamedCase.h"
#include "platform/linux/net/RunningSha256.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

struct DigestRow : testsupport::NamedCase {
    qint64 before;  // bytes the file holds when followed
    bool emptied;   // then emptied (as a download that starts over)
    qint64 bytes;   // written after that, in pieces of pieceBytes
    qint64 pieceBytes;
};

class RunningSha256Test : public testing::TestWithParam<DigestRow> {};

// Bytes that differ at every offset, so that a piece read twice, lost or out of order shows.
QByteArray bytesFrom(qint64 start, qint64 length) {
    QByteArray bytes(length, Qt::Uninitialized);
    for (qint64 i = 0; i < length; ++i) bytes[i] = char((start + i) * 131 % 251);
    return bytes;
}

TEST_P(RunningSha256Test, DigestsWhatTheFileHolds) {
    const DigestRow& row = GetParam();
    QTemporaryDir folder;
    QFile file(folder.filePath("body"));  // unbuffered: each write goes straight to the file
    ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered));
    const QByteArray earlier = bytesFrom(7, row.before);
    ASSERT_EQ(file.write(earlier), row.before);
    RunningSha256 digest;
    digest.follow(file.handle());
    digest.grewTo(row.before);
    QCryptographicHash expected(QCryptographicHash::Sha256);
    expected.addData(earlier);
    if (row.emptied) {
        ASSERT_TRUE(file.resize(0));
        digest.reset();
        expected.reset();
    }
    const QByteArray bytes = bytesFrom(0, row.bytes);
    for (qint64 at = 0; at < bytes.size(); at += row.pieceBytes) {
        const QByteArray piece = bytes.mid(at, row.pieceBytes);
        ASSERT_EQ(file.write(piece), piece.size());
        expected.addData(piece);
        digest.grewTo((row.emptied ? 0 : row.before) + at + piece.size());
        // A look in the middle leaves the running digest as it was.
        if (at == 0) EXPECT_EQ(digest.digest(), expected.result());
    }
    // The writer may close its file before asking.
    file.close();
    EXPECT_EQ(digest.digest(), expected.result());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RunningSha256Test,
    testing::Values(DigestRow{"Nothing", 0, false, 0, 1},
                    DigestRow{"SmallPieces", 0, false, 5 << 20, 7001},
                    DigestRow{"KeptBytesFirst", (3 << 20) + 11, false, 1 << 20, 65536},
                    DigestRow{"EmptiedThenWritten", 2 << 20, true, (1 << 20) + 5, 65536}),
    testsupport::CaseName{});

}  // namespace
}  // namespace qby::platform::linuxhost
