#include "platform/linux/archive/LinuxArchiveTools.h"

#include "platform/linux/archive/ArchiveMemberCheck.h"
#include "platform/linux/archive/TarListing.h"
#include "platform/linux/archive/ZipListing.h"
#include "platform/linux/system/ToolRunner.h"

#include <cerrno>

namespace qby::platform::linuxhost {

namespace {

// Far more than the names of any release; a listing beyond it is refused, not buffered.
constexpr qint64 kMaxListingBytes = 64 * 1024 * 1024;

struct Tool {
    QString name;
    QStringList listArguments;
    QStringList unpackArguments;
};

// The archive is named "./name": a name starting with "-" stays a file name, and a ":" in it
// does not make tar look for a remote host.
Tool toolFor(ArchiveFormat format, const QString& archive) {
    if (format == ArchiveFormat::TarGzip) {
        return {QStringLiteral("tar"),
                // Names and link targets as stored: a listing must not strip a leading "/"
                // and hide what is refused.
                {QStringLiteral("--list"), QStringLiteral("--verbose"),
                 QStringLiteral("--absolute-names"), QStringLiteral("--numeric-owner"),
                 QStringLiteral("--quoting-style=c"), QStringLiteral("-z"), QStringLiteral("-f"),
                 archive},
                // Owners and modes as an ordinary user gets them, whoever runs us.
                {QStringLiteral("-x"), QStringLiteral("-z"), QStringLiteral("--no-same-owner"),
                 QStringLiteral("--no-same-permissions"), QStringLiteral("-f"), archive}};
    }
    return {
        QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive}, {QStringLiteral("-q"), archive}};
}

foundation::Error toolFailed(const QString& tool, const ToolRunner::Outcome& outcome) {
    return foundation::Error{outcome.exitCode,
                             QStringLiteral("%1 exited with status %2: %3")
                                 .arg(tool)
                                 .arg(outcome.exitCode)
                                 .arg(QString::fromUtf8(outcome.errors).trimmed())};
}

}  // namespace

foundation::Status LinuxArchiveTools::unpack(const QString& folder, const QString& fileName,
                                             ArchiveFormat format) {
    if (fileName.isEmpty() || fileName.contains(u'/') || fileName == u"." || fileName == u"..") {
        return foundation::Error{EINVAL,
                                 QStringLiteral("Not an archive name: \"%1\"").arg(fileName)};
    }
    const Tool tool = toolFor(format, QStringLiteral("./") + fileName);

    const foundation::Result<ToolRunner::Outcome> listed =
        ToolRunner::run(tool.name, tool.listArguments, folder, kMaxListingBytes);
    if (!listed) return listed.error();
    if (listed.value().exitCode != 0) return toolFailed(tool.name, listed.value());
    std::optional<std::vector<ArchiveMember>> members =
        format == ArchiveFormat::TarGzip ? TarListing::parse(listed.value().output)
                                         : ZipListing::parse(listed.value().output);
    if (!members) {
        return foundation::Error{
            EINVAL, QStringLiteral("%1 listed \"%2\" in an unknown form").arg(tool.name, fileName)};
    }
    if (foundation::Status safe = ArchiveMemberCheck::check(*members); !safe) return safe;

    const foundation::Result<ToolRunner::Outcome> unpacked =
        ToolRunner::run(tool.name, tool.unpackArguments, folder, kMaxListingBytes);
    if (!unpacked) return unpacked.error();
    if (unpacked.value().exitCode != 0) return toolFailed(tool.name, unpacked.value());
    return {};
}

}  // namespace qby::platform::linuxhost
