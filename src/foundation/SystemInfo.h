#pragma once

#include "foundation/SystemProbe.h"

#include <QString>
#include <optional>

namespace qby::foundation {

// The machine this runs on: OS version triple, build, processor type and family.
// Values come from the probe once and are cached; 0 means not known (yet) and is asked again.
class SystemInfo {
public:
    explicit SystemInfo(SystemProbe& probe);

    // Fills the present out-parameters with the cached triple, querying first when major is 0.
    void getSystemVersion(qint32* major, qint32* minor, qint32* patch);
    // "%d.%d.%d" of the triple, always three numbers.
    QString systemVersionString();

    bool isSystemAtLeast12();
    bool isSystemAtLeast11();
    bool isSystemAtLeast10_15();
    bool isSystemAtLeast10_14();
    bool isSystemAtLeast10_13();
    bool isSystemAtLeast10_12();
    bool isSystemAtLeast10_11();
    bool isSystemAtLeast10_10();
    bool isSystemAtLeast10_9();

    // The build identifier, read anew on each call; nothing when missing or empty.
    std::optional<QString> systemBuildVersion();
    qint32 cpuType();
    qint32 cpuFamily();

    // The process-wide instance the entry point installs; nothing before.
    static SystemInfo* shared();
    static void setShared(SystemInfo* info);

private:
    qint32 cachedKernelValue(const char* name, qint32& cache);
    bool isAtLeast(qint32 major, qint32 minor);
    bool isMajorAbove(qint32 major);

    SystemProbe& probe_;
    qint32 major_ = 0;
    qint32 minor_ = 0;
    qint32 patch_ = 0;
    qint32 cpuType_ = 0;
    qint32 cpuFamily_ = 0;
};

}  // namespace qby::foundation
