#include "StampForms.h"

#include "app/RequestAssembly.h"
#include "app/RequestSources.h"

#include <QList>
#include <cerrno>
#include <climits>
#include <utility>

namespace qby::tools {
namespace {

foundation::Error refused(const QString& why) {
    return foundation::Error{EINVAL, why};
}

using Parts = QList<std::pair<QString, QString>>;  // what a part is, its text

// "the key "a.b" holds a ".""; empty when no part holds any of the characters.
QString holderOf(const Parts& parts, const QString& characters) {
    for (const auto& [what, text] : parts) {
        for (const QChar c : characters) {
            if (text.contains(c))
                return QStringLiteral("%1 \"%2\" holds a \"%3\"").arg(what, text, QString(c));
        }
    }
    return {};
}

// A name longer than this cannot be a file's name on the file systems users have.
bool fitsAFileName(const QString& name) {
    return name.toUtf8().size() <= NAME_MAX;
}

foundation::Error tooLong(const QString& name) {
    return refused(
        QStringLiteral("the name \"%1\" is longer than %2 bytes").arg(name).arg(NAME_MAX));
}

}  // namespace

foundation::Result<QString> bundleNameCarrying(const QString& game,
                                               const foundation::DownloadRequest& request) {
    if (request.size() != 1) {
        return refused(QStringLiteral("a bundle name carries exactly one KEY=VALUE, not %1; a "
                                      "request file carries more (--request-file)")
                           .arg(request.size()));
    }
    const QString key = request.firstKey();
    const QString value = request.first();
    const Parts parts{{"the game name", game}, {"the key", key}, {"the value", value}};
    if (const QString slash = holderOf(parts, "/"); !slash.isEmpty()) {
        return refused(slash + ", which no file name can hold");
    }
    const QString name = value.isEmpty() ? QStringLiteral("%1.%2.app").arg(game, key)
                                         : QStringLiteral("%1.%2.%3.app").arg(game, key, value);
    const std::optional<foundation::DownloadRequest> read = app::requestOfBundleName(name);
    if (read != request) {
        return refused(
            QStringLiteral("the downloader would read %1 from the name \"%2\": %3")
                .arg(foundation::describeRequest(read.value_or(foundation::DownloadRequest())),
                     name, holderOf(parts, ".")));
    }
    if (!fitsAFileName(name)) return tooLong(name);
    return name;
}

foundation::Result<QString> bundleNameWithoutRequest(const QString& game) {
    const QString name = game + QStringLiteral(".app");
    if (game.contains(QLatin1Char('/'))) {
        return refused(holderOf({{"the game name", game}}, "/") + ", which no file name can hold");
    }
    if (const std::optional<foundation::DownloadRequest> read = app::requestOfBundleName(name)) {
        return refused(QStringLiteral("the downloader would read %1 from the name \"%2\" and no "
                                      "request file: the game name holds a \".\"")
                           .arg(foundation::describeRequest(*read), name));
    }
    // The hidden request file's name is the longer one.
    const QString requestFile = app::requestFileNames(name).first();
    return fitsAFileName(requestFile) ? foundation::Result<QString>(name) : tooLong(requestFile);
}

foundation::Result<QString> requestFileText(const foundation::DownloadRequest& request) {
    QStringList lines;
    Parts parts;
    for (auto it = request.cbegin(); it != request.cend(); ++it) {
        lines << it.key() + QLatin1Char(';') + it.value();
        parts << std::pair{QStringLiteral("the key"), it.key()}
              << std::pair{QStringLiteral("the value"), it.value()};
    }
    const QString text = lines.join(QLatin1Char('\n'));
    foundation::DownloadRequest read;
    app::addRequestLines(text, read);
    if (read != request) {
        const QString holder = holderOf(parts, ";\n");
        return refused(
            QStringLiteral("the downloader would read %1 from the request file: %2")
                .arg(foundation::describeRequest(read),
                     holder.isEmpty() ? QStringLiteral("the request is empty") : holder));
    }
    return text;
}

}  // namespace qby::tools
