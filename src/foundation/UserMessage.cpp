#include "foundation/UserMessage.h"

namespace qby::foundation {

QString filledIn(const QString& format, const QStringList& arguments) {
    QString text;
    text.reserve(format.size());
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'%' && i + 1 < format.size()) {
            const int number = format.at(i + 1).digitValue();
            if (number >= 1 && number <= arguments.size()) {
                text += arguments.at(number - 1);
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}

Error userError(int code, const QString& format, const QStringList& arguments) {
    return Error{code, filledIn(format, arguments), format, arguments};
}

}  // namespace qby::foundation
