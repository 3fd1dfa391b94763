#pragma once

#include "foundation/Result.h"
#include "platform/linux/archive/ArchiveMemberCheck.h"
#include "platform/linux/archive/PaxRecords.h"

#include <QByteArray>
#include <array>
#include <optional>

namespace qby::platform::linuxhost {

// Where the reader's findings go, in the order of the stream.
class TarMemberListener {
public:
    virtual ~TarMemberListener() = default;
    // A member whose headers are all read; none of its bytes has been passed on yet. An error
    // stops the reading.
    virtual foundation::Status member(const ArchiveMember& member) = 0;
    // The next bytes of the stream, to go on to the tool that unpacks it.
    virtual foundation::Status pass(const char* data, qsizetype size) = 0;
};

// Reads a tar stream as it arrives, in pieces of any size, and holds back each member's header
// bytes until the listener has seen the member. It reads what GNU tar reads the same way and
// refuses everything else, so that what is checked is what tar writes: ustar and GNU headers with
// a valid checksum, GNU long names and link names, pax extended headers (path, linkpath and size;
// sparse files refused), pax global headers that change no name or size (dropped), files, folders,
// symbolic and hard links. The stream ends with two zero blocks, or one and the end of the data;
// what follows is not passed on. Errors: EINVAL, and whatever the listener answers.
class TarMemberReader {
public:
    explicit TarMemberReader(TarMemberListener& listener) : listener_(listener) {}

    // The next bytes of the stream; after an error every call answers it again.
    foundation::Status read(const char* data, qsizetype size);
    // The stream has no more bytes: an error unless the archive's end was read.
    foundation::Status finish();
    bool ended() const { return state_ == State::Ended; }

private:
    enum class State { Header, Extension, Data, AfterZeroBlock, Ended };

    foundation::Status fail(const foundation::Error& error);
    foundation::Status malformed(const char* what);
    foundation::Status takeBlock();
    foundation::Status takeHeader();
    foundation::Status takeExtension();
    foundation::Status startMember(char type, qint64 size);

    TarMemberListener& listener_;
    State state_ = State::Header;
    std::optional<foundation::Error> error_;
    std::array<char, 512> block_{};
    qsizetype blockFill_ = 0;
    qint64 offset_ = 0;     // of the block being read, in the stream
    QByteArray held_;       // read, not yet passed: the current member's headers
    qint64 remaining_ = 0;  // of the extension or data being read, padding included
    char extensionType_ = 0;
    qint64 extensionSize_ = 0;
    QByteArray extension_;
    std::optional<QByteArray> longName_;
    std::optional<QByteArray> longLink_;
    std::optional<PaxRecords> pax_;
};

}  // namespace qby::platform::linuxhost
