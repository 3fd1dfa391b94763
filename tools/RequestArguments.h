#pragma once

#include "foundation/DownloadRequest.h"
#include "foundation/Result.h"

#include <QStringList>

namespace qby::tools {

// The request given on a command line as KEY=VALUE arguments, each split at its first "=" (a
// key cannot hold one; a value can). An argument without "=" and a key given twice are errors.
foundation::Result<foundation::DownloadRequest> requestOfArguments(const QStringList& arguments);

// The text on one line: line feeds, carriage returns and tabs shown as \n, \r and \t.
QString onOneLine(QString text);

}  // namespace qby::tools
