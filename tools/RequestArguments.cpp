#include "RequestArguments.h"

#include <cerrno>

namespace qby::tools {

foundation::Result<foundation::DownloadRequest> requestOfArguments(const QStringList& arguments) {
    foundation::DownloadRequest request;
    for (const QString& argument : arguments) {
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (equals < 0) {
            return foundation::Error{EINVAL,
                                     QStringLiteral("\"%1\" is not KEY=VALUE").arg(argument)};
        }
        const QString key = argument.left(equals);
        if (request.contains(key)) {
            return foundation::Error{EINVAL,
                                     QStringLiteral("the key \"%1\" is given twice").arg(key)};
        }
        request.insert(key, argument.mid(equals + 1));
    }
    return request;
}

QString onOneLine(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"))
        .replace(QLatin1Char('\t'), QLatin1String("\\t"));
}

}  // namespace qby::tools
