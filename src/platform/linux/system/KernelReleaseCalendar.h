#pragma once

#include "foundation/SystemProbe.h"

#include <QString>
#include <optional>

namespace qby::platform::linuxhost {

// Linux distributions number their releases each in their own way, so the system's version is
// told by the running kernel instead: the release of the other desktop system that came out in
// the year that kernel's line first appeared. Release feeds state their minimum on this scale.
class KernelReleaseCalendar {
public:
    // The kernel's release text ("6.1.0-18-amd64") as a system version (13.0.0); nothing when
    // the text does not start with a version number.
    static std::optional<foundation::OperatingSystemVersion> systemVersionForKernelRelease(
        const QString& release);

    // The year in which the kernel major.minor.patch first appeared; 2004 for anything older
    // than the calendar, the calendar's last year for anything newer.
    static int yearOfKernel(qint64 major, qint64 minor, qint64 patch);

    // The system version of a year (2022 gives 13.0.0).
    static foundation::OperatingSystemVersion systemVersionOfYear(int year);
};

}  // namespace qby::platform::linuxhost
