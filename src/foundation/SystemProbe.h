#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace qby::foundation {

// The operating system's version numbers as the platform reports them.
struct OperatingSystemVersion {
    qint64 major = 0;
    qint64 minor = 0;
    qint64 patch = 0;
};

// Raw queries about the machine, answered by the platform layer; SystemInfo adds caching and the
// zero-on-failure rules.
class SystemProbe {
public:
    virtual ~SystemProbe() = default;

    // The running system's version, or nothing when it cannot be told.
    virtual std::optional<OperatingSystemVersion> operatingSystemVersion() = 0;

    // The OS build identifier as stored (possibly empty), or nothing when there is none.
    virtual std::optional<QString> buildVersion() = 0;

    // The kernel value of that name ("hw.cputype", "hw.cpufamily") as raw bytes in host order,
    // or nothing when the query fails.
    virtual std::optional<QByteArray> kernelValue(const char* name) = 0;
};

}  // namespace qby::foundation
