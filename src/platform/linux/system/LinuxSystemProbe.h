#pragma once

#include "foundation/SystemProbe.h"

#include <QString>
#include <optional>

namespace qby::platform::linuxhost {

// The machine as Linux describes it, in the codes the system expects: the OS version from the
// running kernel's release (see KernelReleaseCalendar), the build as the kernel's whole release
// text, the processor type from the kernel's machine name and the processor family from
// /proc/cpuinfo.
class LinuxSystemProbe : public foundation::SystemProbe {
public:
    explicit LinuxSystemProbe(QString kernelReleasePath = QString::fromLatin1(kKernelRelease),
                              QString cpuInfoPath = QStringLiteral("/proc/cpuinfo"));

    std::optional<foundation::OperatingSystemVersion> operatingSystemVersion() override;
    std::optional<QString> buildVersion() override;
    std::optional<QByteArray> kernelValue(const char* name) override;

    // The leading "major[.minor[.patch]]" numbers of a version text ("22.04" gives 22.4.0,
    // "6.1.0-18-amd64" gives 6.1.0); nothing when it does not start with a digit.
    static std::optional<foundation::OperatingSystemVersion> versionFromText(const QString& text);
    // The processor type code for a kernel machine name ("x86_64", "aarch64", ...).
    static std::optional<qint32> cpuTypeForMachine(const QString& machine);
    // The processor family code for a vendor, family and model as /proc/cpuinfo gives them.
    static std::optional<qint32> cpuFamilyFor(const QString& vendor, int family, int model);

    static constexpr const char* kKernelRelease = "/proc/sys/kernel/osrelease";

private:
    // The running kernel's release text; the kernel's uname when the file cannot be read.
    std::optional<QString> kernelRelease() const;
    std::optional<qint32> cpuFamilyFromCpuInfo() const;

    QString kernelReleasePath_;
    QString cpuInfoPath_;
};

}  // namespace qby::platform::linuxhost
