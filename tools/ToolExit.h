#pragma once

#include "RequestArguments.h"

#include <QCoreApplication>
#include <QString>
#include <cstdio>

namespace qby::tools {

// A tool's exit status: 0 done, kRefused when it refused or failed, kUsage for a wrong command
// line.
constexpr int kRefused = 1;
constexpr int kUsage = 2;

// Says why on one line of the standard error, after the tool's name, and answers the status.
inline int fail(int status, const QString& why) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(onOneLine(why)));
    return status;
}

}  // namespace qby::tools
