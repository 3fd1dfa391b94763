#include "FakeInstallServices.h"

#include <QUrl>
#include <cerrno>
#include <gtest/gtest.h>

namespace qby::fake {

std::optional<QByteArray> FakeInstallServices::dataWithContentsOfURL(const QUrl& url,
                                                                     qint64 maxBytes) {
    platform_.log.add(QStringLiteral("url.read %1 %2").arg(url.toString()).arg(maxBytes));
    const QString key = url.toString();
    if (!urlBodies.contains(key)) {
        ADD_FAILURE() << "no body scripted for " << key.toStdString();
        return std::nullopt;
    }
    return urlBodies.value(key);
}

std::unique_ptr<platform::UrlDownload> FakeInstallServices::startDownload(
    const QUrl& url, double timeoutSeconds, platform::UrlDownloadDelegate& delegate) {
    platform_.log.add(
        QStringLiteral("download.start %1 %2").arg(url.toString()).arg(timeoutSeconds));
    auto download = std::make_unique<FakeUrlDownload>(platform_.log, delegate);
    downloads.push_back(download.get());
    return download;
}

foundation::Status FakeInstallServices::unpack(const QString& folder, const QString& fileName,
                                               platform::ArchiveFormat format) {
    const bool tgz = format == platform::ArchiveFormat::TarGzip;
    platform_.log.add(QStringLiteral("archive.unpack %1 %2 %3")
                          .arg(folder, fileName, QString::fromLatin1(tgz ? "tgz" : "zip")));
    if (!unpackResult) {
        ADD_FAILURE() << "no unpack scripted for " << fileName.toStdString();
        return foundation::Error{EIO, QStringLiteral("not scripted")};
    }
    if (unpackResult->ok()) {
        for (const QString& name : unpackedNames) platform_.addFolder(folder + '/' + name);
    }
    return *unpackResult;
}

foundation::Result<int> FakeInstallServices::executeWithPrivileges(const QString& toolPath,
                                                                   const QStringList& arguments) {
    platform_.log.add(QStringLiteral("auth.exec %1 %2").arg(toolPath, arguments.join(' ')));
    if (privilegedAnswers.empty()) {
        ADD_FAILURE() << "no privileged answer scripted for " << toolPath.toStdString();
        return foundation::Error{kCannotStart, QStringLiteral("not scripted")};
    }
    const foundation::Result<int> answer = privilegedAnswers.front();
    privilegedAnswers.pop_front();
    if (answer.ok() && answer.value() == 0 && arguments.size() == 2) {
        if (toolPath == QLatin1String("/bin/rm")) platform_.removeTree(arguments.at(1));
        if (toolPath == QLatin1String("/bin/mv"))
            platform_.moveTree(arguments.at(0), arguments.at(1));
    }
    return answer;
}

}  // namespace qby::fake
