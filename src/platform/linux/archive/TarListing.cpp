#include "platform/linux/archive/TarListing.h"

#include <QList>

namespace qby::platform::linuxhost {

namespace {

ArchiveMember::Kind kindOf(char column) {
    switch (column) {
        case '-':
            return ArchiveMember::Kind::File;
        case 'd':
            return ArchiveMember::Kind::Folder;
        case 'l':
            return ArchiveMember::Kind::SymbolicLink;
        case 'h':
            return ArchiveMember::Kind::HardLink;
        default:
            return ArchiveMember::Kind::Other;
    }
}

char escaped(char letter) {
    switch (letter) {
        case 'a':
            return '\a';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'v':
            return '\v';
        default:
            return letter;  // \\, \", \?
    }
}

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

// Reads a C-quoted text starting at the opening quote at pos; pos ends after the closing quote.
std::optional<QByteArray> quoted(const QByteArray& line, qsizetype& pos) {
    if (pos >= line.size() || line[pos] != '"') return std::nullopt;
    QByteArray text;
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return text;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++pos >= line.size()) return std::nullopt;
        if (!isOctal(line[pos])) {
            text += escaped(line[pos]);
            continue;
        }
        int value = 0;
        for (int digits = 0; digits < 3 && pos < line.size() && isOctal(line[pos]); ++digits) {
            value = value * 8 + (line[pos++] - '0');
        }
        --pos;
        text += static_cast<char>(value);
    }
    return std::nullopt;
}

std::optional<ArchiveMember> member(const QByteArray& line) {
    qsizetype pos = line.indexOf('"');
    if (pos <= 0) return std::nullopt;
    const std::optional<QByteArray> name = quoted(line, pos);
    if (!name) return std::nullopt;
    ArchiveMember result{*name, kindOf(line[0]), {}};
    const QByteArray rest = line.mid(pos);
    const QByteArray linkMark = result.kind == ArchiveMember::Kind::SymbolicLink ? " -> "
                                : result.kind == ArchiveMember::Kind::HardLink   ? " link to "
                                                                                 : "";
    if (linkMark.isEmpty()) return rest.isEmpty() ? std::optional(result) : std::nullopt;
    if (!rest.startsWith(linkMark)) return std::nullopt;
    qsizetype targetPos = linkMark.size();
    const std::optional<QByteArray> target = quoted(rest, targetPos);
    if (!target || targetPos != rest.size()) return std::nullopt;
    result.linkTarget = *target;
    return result;
}

}  // namespace

std::optional<std::vector<ArchiveMember>> TarListing::parse(const QByteArray& listing) {
    std::vector<ArchiveMember> members;
    for (const QByteArray& line : listing.split('\n')) {
        if (line.isEmpty()) continue;
        std::optional<ArchiveMember> next = member(line);
        if (!next) return std::nullopt;
        members.push_back(std::move(*next));
    }
    return members;
}

}  // namespace qby::platform::linuxhost
