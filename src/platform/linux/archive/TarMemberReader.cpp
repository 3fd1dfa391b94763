#include "platform/linux/archive/TarMemberReader.h"

#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qby::platform::linuxhost {

namespace {

constexpr qsizetype kBlock = 512;
constexpr qint64 kMaxLongName = 64 * 1024;     // a GNU long name or link name
constexpr qint64 kMaxPaxHeader = 1024 * 1024;  // the records of one pax header
constexpr qint64 kMaxMemberSize = qint64(1) << 48;

// Offsets and widths of the header fields read here.
struct Field {
    qsizetype at;
    qsizetype width;
};
constexpr Field kName{0, 100};
constexpr Field kSize{124, 12};
constexpr Field kChecksum{148, 8};
constexpr qsizetype kType = 156;
constexpr Field kLinkName{157, 100};
constexpr Field kMagic{257, 8};
constexpr Field kPrefix{345, 155};

qint64 padded(qint64 size) {
    return (size + kBlock - 1) / kBlock * kBlock;
}

// A text field: up to its first NUL, or all of it.
QByteArray text(const char* block, Field field) {
    const char* start = block + field.at;
    const void* nul = std::memchr(start, '\0', field.width);
    return QByteArray(start, nul ? static_cast<const char*>(nul) - start : field.width);
}

// A number field as tar writes it: octal digits after optional spaces, ended by NULs or spaces,
// or GNU's base-256 with the top bit set (positive only). Anything else, tar would read in a way
// of its own or not at all.
std::optional<qint64> number(const char* block, Field field) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(block + field.at);
    qint64 value = 0;
    if (bytes[0] == 0x80) {
        for (qsizetype i = 1; i < field.width; ++i) {
            if (value > kMaxMemberSize) return std::nullopt;
            value = value * 256 + bytes[i];
        }
        return value <= kMaxMemberSize ? std::optional(value) : std::nullopt;
    }
    qsizetype i = 0;
    while (i < field.width && bytes[i] == ' ') ++i;
    const qsizetype firstDigit = i;
    for (; i < field.width && bytes[i] >= '0' && bytes[i] <= '7'; ++i) {
        value = value * 8 + (bytes[i] - '0');
    }
    if (i == firstDigit) return std::nullopt;
    for (; i < field.width; ++i) {
        if (bytes[i] != '\0' && bytes[i] != ' ') return std::nullopt;
    }
    return value;
}

bool checksumHolds(const char* block) {
    const std::optional<qint64> stored = number(block, kChecksum);
    qint64 sum = 0;
    for (qsizetype i = 0; i < kBlock; ++i) {
        const bool inField = i >= kChecksum.at && i < kChecksum.at + kChecksum.width;
        sum += inField ? ' ' : static_cast<unsigned char>(block[i]);
    }
    return stored == sum;
}

bool isUstar(const char* block) {
    return std::memcmp(block + kMagic.at,
                       "ustar\0"
                       "00",
                       kMagic.width) == 0;
}

bool isGnu(const char* block) {
    return std::memcmp(block + kMagic.at, "ustar  \0", kMagic.width) == 0;
}

ArchiveMember::Kind kindOf(char type) {
    switch (type) {
        case '0':
        case '\0':
        case '7':
            return ArchiveMember::Kind::File;
        case '5':
            return ArchiveMember::Kind::Folder;
        case '2':
            return ArchiveMember::Kind::SymbolicLink;
        case '1':
            return ArchiveMember::Kind::HardLink;
        default:
            return ArchiveMember::Kind::Other;
    }
}

}  // namespace

foundation::Status TarMemberReader::fail(const foundation::Error& error) {
    error_ = error;
    return error;
}

foundation::Status TarMemberReader::malformed(const char* what) {
    return fail(foundation::Error{
        EINVAL, QStringLiteral("The archive cannot be unpacked safely: %1 at byte %2; nothing was "
                               "unpacked.")
                    .arg(QLatin1String(what))
                    .arg(offset_)});
}

foundation::Status TarMemberReader::read(const char* data, qsizetype size) {
    while (size > 0 && !error_ && state_ != State::Ended) {
        if (state_ == State::Data || state_ == State::Extension) {
            const qsizetype n = static_cast<qsizetype>(std::min<qint64>(remaining_, size));
            if (state_ == State::Data) {
                if (foundation::Status passed = listener_.pass(data, n); !passed) {
                    return fail(passed.error());
                }
            } else {
                held_.append(data, n);
                const qint64 wanted = extensionSize_ - extension_.size();
                extension_.append(data, static_cast<qsizetype>(std::clamp<qint64>(wanted, 0, n)));
            }
            data += n;
            size -= n;
            remaining_ -= n;
            offset_ += n;
            if (remaining_ > 0) continue;
            if (state_ == State::Data) {
                state_ = State::Header;
            } else if (foundation::Status taken = takeExtension(); !taken) {
                return taken;
            }
            continue;
        }
        const qsizetype n = std::min(kBlock - blockFill_, size);
        std::memcpy(block_.data() + blockFill_, data, n);
        blockFill_ += n;
        data += n;
        size -= n;
        if (blockFill_ < kBlock) continue;
        blockFill_ = 0;
        if (foundation::Status taken = takeBlock(); !taken) return taken;
        offset_ += kBlock;
    }
    if (error_) return *error_;
    return {};
}

foundation::Status TarMemberReader::finish() {
    if (error_) return *error_;
    if (state_ == State::AfterZeroBlock && blockFill_ == 0) {
        if (foundation::Status passed = listener_.pass(held_.constData(), held_.size()); !passed) {
            return fail(passed.error());
        }
        state_ = State::Ended;
    }
    if (state_ != State::Ended) return malformed("the data ends before the archive's end");
    return {};
}

foundation::Status TarMemberReader::takeBlock() {
    const bool zero = std::all_of(block_.begin(), block_.end(), [](char c) { return c == 0; });
    if (state_ == State::AfterZeroBlock) {
        // tar stops at the first zero block whatever follows; we read no further than it does.
        if (!zero) return malformed("a header after the archive's end");
        held_.append(block_.data(), kBlock);
        if (foundation::Status passed = listener_.pass(held_.constData(), held_.size()); !passed) {
            return fail(passed.error());
        }
        held_.clear();
        state_ = State::Ended;
        return {};
    }
    if (zero) {
        if (!held_.isEmpty()) return malformed("an extended header without its member");
        held_.append(block_.data(), kBlock);
        state_ = State::AfterZeroBlock;
        return {};
    }
    return takeHeader();
}

foundation::Status TarMemberReader::takeHeader() {
    const char* block = block_.data();
    if (!checksumHolds(block)) return malformed("a header whose checksum is wrong");
    if (!isUstar(block) && !isGnu(block)) return malformed("a header of an unknown format");
    const std::optional<qint64> size = number(block, kSize);
    if (!size) return malformed("a header whose size is not a number");
    const char type = block[kType];
    const bool pending = !held_.isEmpty();
    held_.append(block, kBlock);
    switch (type) {
        case 'L':
        case 'K':
            if ((type == 'L' ? longName_ : longLink_) || *size > kMaxLongName) {
                return malformed("a long name given twice or too long");
            }
            break;
        case 'x':
        case 'g':
            if (pax_ || *size > kMaxPaxHeader || (type == 'g' && pending)) {
                return malformed("a pax header given twice, too long or out of place");
            }
            break;
        default:
            return startMember(type, *size);
    }
    extensionType_ = type;
    extensionSize_ = *size;
    extension_.clear();
    remaining_ = padded(*size);
    state_ = State::Extension;
    return remaining_ == 0 ? takeExtension() : foundation::Status{};
}

foundation::Status TarMemberReader::takeExtension() {
    state_ = State::Header;
    if (extensionType_ == 'L' || extensionType_ == 'K') {
        // tar ends the name at its first NUL.
        const qsizetype nul = extension_.indexOf('\0');
        (extensionType_ == 'L' ? longName_ : longLink_) =
            nul < 0 ? extension_ : extension_.left(nul);
        return {};
    }
    const char* reason = nullptr;
    std::optional<PaxRecords> records = PaxRecords::parse(extension_, &reason);
    if (!records) return malformed(reason);
    if (extensionType_ == 'x') {
        pax_ = std::move(records);
        return {};
    }
    // A global header that changes no name and no size changes nothing checked here: it is not
    // passed on at all.
    if (records->path || records->linkPath || records->size || records->sparse) {
        return malformed("a pax global header that renames or resizes members");
    }
    held_.clear();
    return {};
}

foundation::Status TarMemberReader::startMember(char type, qint64 headerSize) {
    const char* block = block_.data();
    if ((pax_ && pax_->path && longName_) || (pax_ && pax_->linkPath && longLink_)) {
        return malformed("a member named both in a pax header and a long name");
    }
    ArchiveMember member{QByteArray(), kindOf(type), QByteArray()};
    if (pax_ && pax_->path) {
        member.name = *pax_->path;
    } else if (longName_) {
        member.name = *longName_;
    } else {
        const QByteArray prefix = isUstar(block) ? text(block, kPrefix) : QByteArray();
        member.name = prefix.isEmpty() ? text(block, kName) : prefix + '/' + text(block, kName);
    }
    const QByteArray linkTarget = pax_ && pax_->linkPath ? *pax_->linkPath
                                  : longLink_            ? *longLink_
                                                         : text(block, kLinkName);
    if (member.kind == ArchiveMember::Kind::HardLink) member.linkTarget = linkTarget;
    const qint64 size = pax_ && pax_->size ? *pax_->size : headerSize;
    const bool sparse = pax_ && pax_->sparse;
    longName_.reset();
    longLink_.reset();
    pax_.reset();

    auto refuse = [this, &member](const char* reason) {
        return fail(ArchiveMemberCheck::refusal(member.name, reason));
    };
    if (member.kind == ArchiveMember::Kind::Other || sparse) {
        return refuse("is neither a file, a folder nor a link");
    }
    // tar reads no data after a folder or a link, whatever the size says.
    if (member.kind != ArchiveMember::Kind::File && size != 0) {
        return refuse("is a folder or link with contents");
    }
    // tar unpacks a file whose name ends in "/" as a folder, and reads no data after it.
    if (member.kind == ArchiveMember::Kind::File && member.name.endsWith('/')) {
        return refuse("is a file named as a folder");
    }
    if (foundation::Status admitted = listener_.member(member); !admitted) {
        return fail(admitted.error());
    }
    if (foundation::Status passed = listener_.pass(held_.constData(), held_.size()); !passed) {
        return fail(passed.error());
    }
    held_.clear();
    remaining_ = padded(size);
    state_ = remaining_ > 0 ? State::Data : State::Header;
    return {};
}

}  // namespace qby::platform::linuxhost
