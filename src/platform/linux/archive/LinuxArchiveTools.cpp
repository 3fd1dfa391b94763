#include "platform/linux/archive/LinuxArchiveTools.h"

#include "platform/linux/archive/ArchiveMemberCheck.h"
#include "platform/linux/archive/TarGzipUnpacker.h"
#include "platform/linux/archive/ZipListing.h"
#include "platform/linux/system/ToolRunner.h"

#include <cerrno>

namespace qby::platform::linuxhost {

namespace {

// Far more than the names of any release; a listing beyond it is refused, not buffered.
constexpr qint64 kMaxListingBytes = 64 * 1024 * 1024;

}  // namespace

foundation::Status LinuxArchiveTools::unpack(const QString& folder, const QString& fileName,
                                             ArchiveFormat format) {
    if (fileName.isEmpty() || fileName.contains(u'/') || fileName == u"." || fileName == u"..") {
        return foundation::Error{EINVAL,
                                 QStringLiteral("Not an archive name: \"%1\"").arg(fileName)};
    }
    if (format == ArchiveFormat::TarGzip) return TarGzipUnpacker::unpack(folder, fileName);

    // unzip's listing reads only the archive's central directory: listing first costs little.
    // The archive is named "./name": a name starting with "-" stays a file name.
    const QString tool = QStringLiteral("unzip");
    const QString archive = QStringLiteral("./") + fileName;
    const foundation::Result<ToolRunner::Outcome> listed =
        ToolRunner::run(tool, {QStringLiteral("-Z1"), archive}, folder, kMaxListingBytes);
    if (!listed) return listed.error();
    if (listed.value().exitCode != 0) return ToolRunner::exitError(tool, listed.value());
    const std::optional<std::vector<ArchiveMember>> members =
        ZipListing::parse(listed.value().output);
    if (!members) {
        return foundation::Error{
            EINVAL, QStringLiteral("%1 listed \"%2\" in an unknown form").arg(tool, fileName)};
    }
    if (foundation::Status safe = ArchiveMemberCheck::check(*members); !safe) return safe;

    const foundation::Result<ToolRunner::Outcome> unpacked =
        ToolRunner::run(tool, {QStringLiteral("-q"), archive}, folder, kMaxListingBytes);
    if (!unpacked) return unpacked.error();
    if (unpacked.value().exitCode != 0) return ToolRunner::exitError(tool, unpacked.value());
    return {};
}

}  // namespace qby::platform::linuxhost
