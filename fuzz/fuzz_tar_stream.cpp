// The tar stream reader and the member check on arbitrary bytes, as the unpack feeds them (no tar,
// nothing written). The first byte sets the size of the pieces the stream arrives in: reading it
// in those pieces must give what reading it in one piece gives (the same members, the same bytes
// passed on, the same error). Bytes go on in whole blocks, none of a member before it is checked,
// and they are the stream's own, in order (unless a pax global header, which is dropped, may be
// in it).
#include "FuzzInput.h"
#include "platform/linux/archive/ArchiveMemberCheck.h"
#include "platform/linux/archive/TarMemberReader.h"

#include <algorithm>

using qby::fuzz::require;
using qby::platform::linuxhost::ArchiveMember;
using qby::platform::linuxhost::ArchiveMemberCheck;
using qby::platform::linuxhost::TarMemberListener;
using qby::platform::linuxhost::TarMemberReader;

namespace {

class CheckedRecorder : public TarMemberListener {
public:
    qby::foundation::Status member(const ArchiveMember& member) override {
        require(passed.size() % 512 == 0, "a member checked before its header goes on");
        log += member.name + '@' + QByteArray::number(passed.size()) + '\n';
        return check.admit(member);
    }
    qby::foundation::Status pass(const char* data, qsizetype size) override {
        passed.append(data, size);
        return {};
    }
    ArchiveMemberCheck check;
    QByteArray log;
    QByteArray passed;
};

struct Outcome {
    QByteArray log;
    QByteArray passed;
    QString error;
};

Outcome readInPieces(const QByteArray& stream, qsizetype piece) {
    CheckedRecorder recorder;
    TarMemberReader reader(recorder);
    qby::foundation::Status status;
    for (qsizetype at = 0; status && at < stream.size(); at += piece) {
        status = reader.read(stream.constData() + at, std::min(piece, stream.size() - at));
    }
    if (status) status = reader.finish();
    return {recorder.log, recorder.passed, status ? QString() : status.error().message};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const qsizetype piece = 1 + data[0] % 97;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1),
                            static_cast<qsizetype>(size - 1));

    const Outcome whole = readInPieces(stream, stream.size() > 0 ? stream.size() : 1);
    const Outcome pieces = readInPieces(stream, piece);
    require(whole.log == pieces.log, "the same members in pieces",
            QString::fromLatin1(whole.log.toHex()) + QStringLiteral(" / ") +
                QString::fromLatin1(pieces.log.toHex()));
    require(whole.passed == pieces.passed, "the same bytes passed on in pieces");
    require(whole.error == pieces.error, "the same error in pieces",
            whole.error + QStringLiteral(" / ") + pieces.error);
    require(!whole.error.isEmpty() || whole.passed.size() % 512 == 0, "whole blocks passed on");
    require(stream.contains('g') || stream.startsWith(whole.passed), "the stream's own bytes");
    return 0;
}
