#pragma once

#include "platform/Logs.h"

namespace qby::platform::linuxhost {

// The system log through syslog(3) under the name "QuillbayDownloader"; the console log is
// standard error.
class LinuxLogs : public Logs {
public:
    LinuxLogs();
    void syslog(int priority, const QString& message) override;
    void consoleLog(const QString& line) override;
};

}  // namespace qby::platform::linuxhost
