#pragma once

#include "foundation/Result.h"

#include <QString>
#include <QStringList>

namespace qby::foundation {

// format with each %1 … %9 replaced by the argument of that number, in one pass: a value that
// holds "%2" itself stays as it is. A placeholder without an argument stays too.
QString filledIn(const QString& format, const QStringList& arguments);

// An error whose message is a translatable sentence: format is its English text and the key of
// its translations.
Error userError(int code, const QString& format, const QStringList& arguments = {});

}  // namespace qby::foundation
