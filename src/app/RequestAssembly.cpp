#include "app/RequestAssembly.h"

#include "app/RequestSources.h"
#include "foundation/PathComponents.h"

#include <QStringList>

namespace qby::app {

void addRequestLines(const QString& text, foundation::DownloadRequest& request) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char(';'));
        request.insert(fields.at(0), fields.size() >= 2 ? fields.at(1) : QString(""));
    }
}

foundation::DownloadRequest assembleDownloadRequest(const platform::Bundle& bundle,
                                                    platform::FileManager& fileManager,
                                                    platform::Logs& logs) {
    foundation::DownloadRequest request;
    const QString bundlePath = bundle.bundlePath();
    const QString bundleName = foundation::lastPathComponent(bundlePath);

    if (const std::optional<foundation::DownloadRequest> named = requestOfBundleName(bundleName)) {
        logs.consoleLog(QStringLiteral("Dict: %1").arg(foundation::describeRequest(*named)));
        return *named;
    }

    const QString folder = foundation::deletingLastPathComponent(bundlePath);
    const QStringList fileNames = requestFileNames(bundleName);
    const QString hidden = foundation::appendingPathComponent(folder, fileNames.at(0));
    const QString plain = foundation::appendingPathComponent(folder, fileNames.at(1));

    std::optional<QString> chosen;
    bool fromBundle = false;
    if (fileManager.fileExists(hidden)) {
        chosen = hidden;
    } else if (fileManager.fileExists(plain)) {
        chosen = plain;
    } else {
        chosen = bundle.pathForResource(QStringLiteral("locversion"), QStringLiteral("plist"),
                                        QStringLiteral("en.lproj"));
        fromBundle = true;
    }

    if (chosen) {
        if (const auto text = fileManager.readUtf8Text(*chosen, kMaxRequestFileBytes)) {
            addRequestLines(*text, request);
        }
        // The request file is consumed whatever it held; the bundle's own resource never is, and
        // a folder that happens to carry the name is not a request file to delete.
        if (!fromBundle && !fileManager.isDirectory(*chosen)) fileManager.removeItem(*chosen);
    }
    return request;
}

}  // namespace qby::app
