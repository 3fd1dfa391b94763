#include "NamedCase.h"
#include "platform/linux/net/RunningSha256.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

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

bool writeAll(int fd, const QByteArray& bytes) {
    return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

TEST_P(RunningSha256Test, DigestsWhatTheFileHolds) {
    const DigestRow& row = GetParam();
    QTemporaryDir folder;
    const int fd = ::open(QFile::encodeName(folder.filePath("body")).constData(),
                          O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const QByteArray earlier = bytesFrom(7, row.before);
    ASSERT_TRUE(writeAll(fd, earlier));
    RunningSha256 digest;
    digest.follow(fd);
    digest.grewTo(row.before);
    QCryptographicHash expected(QCryptographicHash::Sha256);
    expected.addData(earlier);
    if (row.emptied) {
        ASSERT_EQ(::ftruncate(fd, 0), 0);
        digest.reset();
        expected.reset();
    }
    const QByteArray bytes = bytesFrom(0, row.bytes);
    for (qint64 at = 0; at < bytes.size(); at += row.pieceBytes) {
        const QByteArray piece = bytes.mid(at, row.pieceBytes);
        ASSERT_TRUE(writeAll(fd, piece));
        expected.addData(piece);
        digest.grewTo((row.emptied ? 0 : row.before) + at + piece.size());
        // A look in the middle leaves the running digest as it was.
        if (at == 0) EXPECT_EQ(digest.digest(), expected.result());
    }
    // The writer may close its file before asking.
    ::close(fd);
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
