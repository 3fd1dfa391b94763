#include "platform/linux/system/KernelReleaseCalendar.h"

#include "platform/linux/system/LinuxSystemProbe.h"

#include <iterator>
#include <tuple>

namespace qby::platform::linuxhost {

namespace {

struct FirstKernelOfYear {
    int year;
    qint64 major;
    qint64 minor;
    qint64 patch;  // counts only in the 2.6 line, which numbered its releases there
};

constexpr FirstKernelOfYear kCalendar[] = {
    {2005, 2, 6, 11}, {2006, 2, 6, 15}, {2007, 2, 6, 20}, {2008, 2, 6, 24}, {2009, 2, 6, 29},
    {2010, 2, 6, 33}, {2011, 2, 6, 37}, {2012, 3, 2, 0},  {2013, 3, 8, 0},  {2014, 3, 13, 0},
    {2015, 3, 19, 0}, {2016, 4, 4, 0},  {2017, 4, 10, 0}, {2018, 4, 15, 0}, {2019, 5, 0, 0},
    {2020, 5, 5, 0},  {2021, 5, 11, 0}, {2022, 5, 16, 0}, {2023, 6, 2, 0},  {2024, 6, 7, 0},
    {2025, 6, 13, 0}, {2026, 6, 19, 0},
};

// Before the first year of the calendar the system was at 10.3.
constexpr int kYearBeforeCalendar = 2004;

}  // namespace

int KernelReleaseCalendar::yearOfKernel(qint64 major, qint64 minor, qint64 patch) {
    int year = kYearBeforeCalendar;
    for (const FirstKernelOfYear& first : kCalendar) {
        if (std::tie(major, minor, patch) < std::tie(first.major, first.minor, first.patch)) break;
        year = first.year;
    }
    return year;
}

foundation::OperatingSystemVersion KernelReleaseCalendar::systemVersionOfYear(int year) {
    if (year >= 2025) return {26 + (year - 2025), 0, 0};
    if (year >= 2020) return {11 + (year - 2020), 0, 0};
    if (year >= 2011) return {10, 7 + (year - 2011), 0};
    if (year >= 2009) return {10, 6, 0};
    if (year >= 2007) return {10, 5, 0};
    if (year >= 2005) return {10, 4, 0};
    return {10, 3, 0};
}

std::optional<foundation::OperatingSystemVersion>
KernelReleaseCalendar::systemVersionForKernelRelease(const QString& release) {
    const std::optional<foundation::OperatingSystemVersion> kernel =
        LinuxSystemProbe::versionFromText(release);
    if (!kernel) return std::nullopt;
    return systemVersionOfYear(yearOfKernel(kernel->major, kernel->minor, kernel->patch));
}

}  // namespace qby::platform::linuxhost
