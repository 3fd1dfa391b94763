#include "app/RequestAssembly.h"

#include <QStringList>

namespace qby {
namespace {

QString lastPathComponent(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString baseNameOf(const QString& bundleName) {
    const qsizetype dot = bundleName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? bundleName : bundleName.left(dot);
}

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

}  // namespace

void addRequestLines(const QString& text, DownloadRequest& request) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char(';'));
        request.insert(fields.at(0), fields.size() >= 2 ? fields.at(1) : QString(""));
    }
}

DownloadRequest assembleDownloadRequest(const platform::Bundle& bundle,
                                        platform::FileManager& fileManager, platform::Logs& logs) {
    DownloadRequest request;
    const QString bundlePath = bundle.bundlePath();
    const QString bundleName = lastPathComponent(bundlePath);
    const QStringList components = bundleName.split(QLatin1Char('.'));

    if (components.size() >= 3) {
        request.insert(components.at(1), components.size() >= 4 ? components.at(2) : QString(""));
        logs.consoleLog(QStringLiteral("Dict: %1").arg(describeRequest(request)));
        return request;
    }

    const QString folder = folderOf(bundlePath);
    const QString baseName = baseNameOf(bundleName);
    const QString hidden = joined(folder, QStringLiteral(".%1.txt").arg(baseName));
    const QString plain = joined(folder, QStringLiteral("%1.txt").arg(baseName));

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
        if (const auto text = fileManager.readUtf8Text(*chosen, kMaxRequestFileBytes))
            addRequestLines(*text, request);
        // The request file is consumed whatever it held; the bundle's own resource never is, and
        // a folder that happens to carry the name is not a request file to delete.
        if (!fromBundle && !fileManager.isDirectory(*chosen)) fileManager.removeItem(*chosen);
    }
    return request;
}

}  // namespace qby
