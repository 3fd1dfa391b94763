#pragma once

#include <QString>

namespace qby::platform {

inline constexpr int kSyslogError = 3;

// The system log and the console log.
class Logs {
public:
    virtual ~Logs() = default;

    // One line in the system log at the priority (3 is error).
    virtual void syslog(int priority, const QString& message) = 0;

    // One diagnostic line on the console log.
    virtual void consoleLog(const QString& line) = 0;
};

}  // namespace qby::platform
