#include "NamedCase.h"
#include "platform/linux/archive/TarMemberReader.h"

#include <QByteArrayList>
#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

enum class Magic { Gnu, Ustar, V7 };

// A literal with the NULs in it.
template <size_t N>
QByteArray bytes(const char (&literal)[N]) {
    return QByteArray(literal, N - 1);
}

QByteArray withChecksum(QByteArray block) {
    block.replace(148, 8, QByteArray(8, ' '));
    unsigned sum = 0;
    for (char c : block) sum += static_cast<unsigned char>(c);
    return block.replace(148, 8, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0' + ' ');
}

QByteArray field(const QByteArray& text, qsizetype width) {
    return text.leftJustified(width, '\0', true);
}

QByteArray header(const QByteArray& name, char type, qint64 size = 0, Magic magic = Magic::Gnu,
                  const QByteArray& prefix = {}, const QByteArray& link = {}) {
    QByteArray block(512, '\0');
    block.replace(0, 100, field(name, 100));
    block.replace(124, 12, QByteArray::number(size, 8).rightJustified(11, '0') + '\0');
    block[156] = type;
    block.replace(157, 100, field(link, 100));
    if (magic != Magic::V7)
        block.replace(257, 8, magic == Magic::Gnu ? bytes("ustar  \0") : bytes("ustar\0") + "00");
    block.replace(345, 155, field(prefix, 155));
    return withChecksum(block);
}

QByteArray withSizeField(const QByteArray& block, const QByteArray& size) {
    return withChecksum(QByteArray(block).replace(124, 12, field(size, 12)));
}

QByteArray data(qsizetype size) {
    return QByteArray(size, 'x') + QByteArray((512 - size % 512) % 512, '\0');
}

QByteArray extension(char type, const QByteArray& content) {
    return header("././@LongLink", type, content.size()) + content +
           QByteArray((512 - content.size() % 512) % 512, '\0');
}

// Pax records, their lengths counted.
QByteArray pax(char type, const QByteArrayList& records) {
    QByteArray content;
    for (const QByteArray& record : records) {
        qsizetype length = record.size() + 3;
        while (QByteArray::number(length).size() + record.size() + 2 != length) ++length;
        content += QByteArray::number(length) + ' ' + record + '\n';
    }
    return extension(type, content);
}

QByteArray end(int blocks = 2) {
    return QByteArray(512 * blocks, '\0');
}

// Members as the listener sees them, with the bytes passed on before each; the bytes passed in
// all; the error, if any.
class Recorder : public TarMemberListener {
public:
    foundation::Status member(const ArchiveMember& member) override {
        static const char kinds[] = "dflho";
        log += kinds[static_cast<int>(member.kind)] + (':' + member.name.toStdString());
        if (!member.linkTarget.isEmpty()) log += '>' + member.linkTarget.toStdString();
        log += '@' + std::to_string(passed.size()) + ' ';
        if (member.name.startsWith("deny")) return foundation::Error{EPERM, "denied"};
        return {};
    }
    foundation::Status pass(const char* data, qsizetype size) override {
        passed.append(data, size);
        return {};
    }
    std::string log;
    QByteArray passed;
};

struct ReaderCase : testsupport::NamedCase {
    QByteArray stream;
    const char* expected;   // "MEMBERS =PASSED", then " !TEXT" when the error holds TEXT
    qsizetype dropped = 0;  // bytes at the start that are not passed on
};

std::string readInPieces(const ReaderCase& c, qsizetype piece) {
    Recorder recorder;
    TarMemberReader reader(recorder);
    foundation::Status status;
    for (qsizetype at = 0; status && at < c.stream.size(); at += piece) {
        status = reader.read(c.stream.constData() + at, std::min(piece, c.stream.size() - at));
    }
    if (status) status = reader.finish();
    std::string log = recorder.log + '=' + std::to_string(recorder.passed.size());
    if (recorder.passed != c.stream.mid(c.dropped, recorder.passed.size())) log += " (changed)";
    if (!status) log += " !" + status.error().message.toStdString();
    return log;
}

class TarMemberReaderTest : public testing::TestWithParam<ReaderCase> {};

TEST_P(TarMemberReaderTest, ReadsWhatTarReadsAndRefusesTheRest) {
    const ReaderCase& c = GetParam();
    const std::string whole = readInPieces(c, c.stream.size());
    EXPECT_EQ(readInPieces(c, 1), whole) << "byte by byte";
    const std::string expected = c.expected;
    const size_t bang = expected.find('!');
    EXPECT_TRUE(bang == std::string::npos
                    ? whole == expected
                    : whole.starts_with(expected.substr(0, bang + 1)) &&
                          whole.find(expected.substr(bang + 1), bang) != std::string::npos)
        << whole;
}

const QByteArray kLong = extension('L', bytes("long/name\0"));
const QByteArray kPaxPath = pax('x', {"path=p/q"});
const QByteArray kFile = header("a", '0', 5) + data(5);

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Streams, TarMemberReaderTest,
    testing::Values(
        ReaderCase{"GnuFile", kFile + end(), "f:a@0 =2048"},
        ReaderCase{"UstarJoinsPrefix", header("b", '0', 0, Magic::Ustar, "a") + end(), "f:a/b@0 =1536"},
        ReaderCase{"GnuHasNoPrefix", header("b", '5', 0, Magic::Gnu, "evil") + end(), "d:b@0 =1536"},
        ReaderCase{"LongNames", kLong + extension('K', "target") + header("x", '1', 0, Magic::Gnu, {}, "short") + end(),
                   "h:long/name>target@0 =3584"},
        ReaderCase{"PaxOverrides", pax('x', {"path=p/q", "linkpath=t", "size=600"}) + header("short", '0') + data(600) +
                   header("n", '5') + end(), "f:p/q@0 d:n@2560 =4096"},
        ReaderCase{"Base256Size", withSizeField(header("a", '0'), QByteArray(9, '\0').prepend('\x80') + "\x02\x58") +
                   data(600) + header("b", '5') + end(), "f:a@0 d:b@1536 =3072"},
        ReaderCase{"GlobalHeaderDropped", pax('g', {"comment=release"}) + header("a", '5') + end(), "d:a@0 =1536", 1024},
        ReaderCase{"OneZeroBlockEnds", header("a", '5') + end(1), "d:a@0 =1024"},
        ReaderCase{"RefusedMemberHeldBack", kFile + extension('L', "deny") + kFile + end(), "f:a@0 f:deny@1024 =1024 !denied"},
        ReaderCase{"BadChecksum", QByteArray(kFile).replace(0, 1, "b") + end(), "=0 !checksum"},
        ReaderCase{"V7Header", header("a", '0', 0, Magic::V7) + end(), "=0 !unknown format"},
        ReaderCase{"SizeNotANumber", withSizeField(header("a", '0'), "0000000001x") + end(), "=0 !size"},
        ReaderCase{"SizeAfterNul", withSizeField(header("a", '0'), bytes("\0" "0000000012")) + end(), "=0 !size"},
        ReaderCase{"PaxSparse", pax('x', {"GNU.sparse.major=1"}) + header("a", '0') + end(), "=0 !neither"},
        ReaderCase{"PaxPathWithNul", pax('x', {bytes("path=a\0b")}) + header("a", '0') + end(), "=0 !cut short"},
        ReaderCase{"PaxPathEmpty", pax('x', {"path="}) + header("a", '5') + end(), "=0 !empty"},
        ReaderCase{"PaxLengthWrong", extension('x', "99 path=abc\n") + header("a", '0') + end(), "=0 !length"},
        ReaderCase{"PaxBlankBeforeKey", extension('x', "13  path=abc\n") + header("a", '0') + end(), "=0 !unknown form"},
        ReaderCase{"PaxSizeTwice", pax('x', {"size=1", "size=2"}) + header("a", '0') + end(), "=0 !twice"},
        ReaderCase{"GlobalPath", pax('g', {"path=evil"}) + header("a", '5') + end(), "=0 !global"},
        ReaderCase{"PaxTwice", kPaxPath + kPaxPath + header("a", '5') + end(), "=0 !pax header given twice"},
        ReaderCase{"LongNameTwice", kLong + kLong + header("a", '5') + end(), "=0 !long name"},
        ReaderCase{"LongNameAndPaxPath", kLong + kPaxPath + header("a", '5') + end(), "=0 !both"},
        ReaderCase{"ExtensionWithoutMember", kLong + end(), "=0 !without its member"},
        ReaderCase{"FolderWithData", header("a", '5', 512) + data(512) + end(), "=0 !with contents"},
        ReaderCase{"FileNamedAsFolder", header("a/", '0') + end(), "=0 !named as a folder"},
        ReaderCase{"GnuSparse", header("a", 'S') + end(), "=0 !neither"},
        ReaderCase{"DataCutShort", header("a", '0', 1000) + QByteArray(100, 'x'), "f:a@0 =612 !ends before"},
        ReaderCase{"NoEnd", kFile, "f:a@0 =1024 !ends before"},
        ReaderCase{"HeaderAfterZeroBlock", header("a", '5') + end(1) + header("b", '5') + end(),
                   "d:a@0 =512 !after the archive's end"},
        ReaderCase{"LongNameTooLong", header("././@LongLink", 'L', 70000), "=0 !long name"}),
    testsupport::CaseName{});
// clang-format on

}  // namespace
}  // namespace qby::platform::linuxhost
