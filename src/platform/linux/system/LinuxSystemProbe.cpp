#include "LinuxSystemProbe.h"

#include "platform/linux/system/KernelReleaseCalendar.h"

#include <QFile>
#include <limits>
#include <sys/utsname.h>

namespace qby::platform::linuxhost {

namespace {

// The kernel's release is one short line, the first processor of /proc/cpuinfo a few kilobytes;
// reading stops at these bounds so that a huge or endless file cannot stall start-up.
constexpr qint64 kMaxKernelReleaseBytes = 4 * 1024;
constexpr qint64 kMaxCpuInfoBytes = 1024 * 1024;

qint64 saturatedNumber(QStringView digits) {
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (QChar c : digits) {
        const int digit = c.unicode() - u'0';
        if (value > (kMax - digit) / 10) {
            return kMax;
        }
        value = value * 10 + digit;
    }
    return value;
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

std::optional<utsname> kernelName() {
    utsname name{};
    if (uname(&name) != 0) {
        return std::nullopt;
    }
    return name;
}

QByteArray hostOrderBytes(qint32 value) {
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

// Intel family 6 models and the processor family codes the store's release feed uses for them.
struct IntelModel {
    int model;
    qint32 code;
};

constexpr qint32 kYonah = 0x73D67300;
constexpr qint32 kMerom = 0x426F69EF;
constexpr qint32 kPenryn = 0x78EA4FBC;
constexpr qint32 kNehalem = 0x6B5A4CD2;
constexpr qint32 kWestmere = 0x573B5EEC;
constexpr qint32 kSandyBridge = 0x5490B78C;
constexpr qint32 kIvyBridge = 0x1F65E835;
constexpr qint32 kHaswell = 0x10B282DC;
constexpr qint32 kBroadwell = 0x582ED09C;
constexpr qint32 kSkylake = 0x37FC219F;
constexpr qint32 kKabyLake = 0x0F817246;
constexpr qint32 kCometLake = 0x1CF8A03E;
constexpr qint32 kIceLake = 0x38435547;

constexpr IntelModel kIntelModels[] = {
    {14, kYonah},      {15, kMerom},     {22, kMerom},       {23, kPenryn},      {29, kPenryn},
    {26, kNehalem},    {30, kNehalem},   {31, kNehalem},     {46, kNehalem},     {37, kWestmere},
    {44, kWestmere},   {47, kWestmere},  {42, kSandyBridge}, {45, kSandyBridge}, {58, kIvyBridge},
    {62, kIvyBridge},  {60, kHaswell},   {63, kHaswell},     {69, kHaswell},     {70, kHaswell},
    {61, kBroadwell},  {71, kBroadwell}, {79, kBroadwell},   {86, kBroadwell},   {78, kSkylake},
    {85, kSkylake},    {94, kSkylake},   {142, kKabyLake},   {158, kKabyLake},   {165, kCometLake},
    {166, kCometLake}, {125, kIceLake},  {126, kIceLake},
};

}  // namespace

LinuxSystemProbe::LinuxSystemProbe(QString kernelReleasePath, QString cpuInfoPath)
    : kernelReleasePath_(std::move(kernelReleasePath)), cpuInfoPath_(std::move(cpuInfoPath)) {}

std::optional<QString> LinuxSystemProbe::kernelRelease() const {
    QFile file(kernelReleasePath_);
    if (file.open(QIODevice::ReadOnly)) {
        const QString release = QString::fromUtf8(file.read(kMaxKernelReleaseBytes)).trimmed();
        if (!release.isEmpty()) return release;
    }
    // Without /proc (a chroot, say) the kernel still answers uname.
    const std::optional<utsname> kernel = kernelName();
    if (!kernel) return std::nullopt;
    const QString release = QString::fromLocal8Bit(kernel->release).trimmed();
    if (release.isEmpty()) return std::nullopt;
    return release;
}

std::optional<foundation::OperatingSystemVersion> LinuxSystemProbe::versionFromText(
    const QString& text) {
    const QString trimmed = text.trimmed();
    qint64 numbers[3] = {0, 0, 0};
    qsizetype position = 0;
    for (int index = 0; index < 3; ++index) {
        if (index > 0) {
            // A further number only when a "." is followed by a digit.
            if (position + 1 >= trimmed.size() || trimmed.at(position) != u'.' ||
                !isAsciiDigit(trimmed.at(position + 1))) {
                break;
            }
            ++position;
        }
        const qsizetype start = position;
        while (position < trimmed.size() && isAsciiDigit(trimmed.at(position))) {
            ++position;
        }
        if (position == start) {
            return std::nullopt;
        }
        numbers[index] = saturatedNumber(QStringView(trimmed).mid(start, position - start));
    }
    return foundation::OperatingSystemVersion{numbers[0], numbers[1], numbers[2]};
}

std::optional<foundation::OperatingSystemVersion> LinuxSystemProbe::operatingSystemVersion() {
    const std::optional<QString> release = kernelRelease();
    if (!release) return std::nullopt;
    return KernelReleaseCalendar::systemVersionForKernelRelease(*release);
}

std::optional<QString> LinuxSystemProbe::buildVersion() {
    return kernelRelease();
}

std::optional<qint32> LinuxSystemProbe::cpuTypeForMachine(const QString& machine) {
    if (machine == u"x86_64" || machine == u"amd64") {
        return 0x01000007;
    }
    if (machine == u"i386" || machine == u"i486" || machine == u"i586" || machine == u"i686") {
        return 7;
    }
    if (machine == u"aarch64" || machine == u"arm64") {
        return 0x0100000C;
    }
    if (machine.startsWith(u"arm")) {
        return 12;
    }
    return std::nullopt;
}

std::optional<qint32> LinuxSystemProbe::cpuFamilyFor(const QString& vendor, int family, int model) {
    if (vendor != u"GenuineIntel" || family != 6) {
        return std::nullopt;
    }
    for (const IntelModel& entry : kIntelModels) {
        if (entry.model == model) {
            return entry.code;
        }
    }
    return std::nullopt;
}

std::optional<qint32> LinuxSystemProbe::cpuFamilyFromCpuInfo() const {
    QFile file(cpuInfoPath_);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QString vendor;
    std::optional<int> family;
    std::optional<int> model;
    // Only the first processor's block counts; it ends at the first empty line.
    const QByteArray content = file.read(kMaxCpuInfoBytes);
    for (const QByteArray& raw : content.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty()) {
            if (!vendor.isEmpty() || family || model) {
                break;
            }
            continue;
        }
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0) {
            continue;
        }
        const QString key = line.left(colon).trimmed();
        const QString value = line.mid(colon + 1).trimmed();
        bool ok = false;
        if (key == u"vendor_id" && vendor.isEmpty()) {
            vendor = value;
        } else if (key == u"cpu family" && !family) {
            const int number = value.toInt(&ok);
            if (ok) {
                family = number;
            }
        } else if (key == u"model" && !model) {
            const int number = value.toInt(&ok);
            if (ok) {
                model = number;
            }
        }
    }
    if (!family || !model) {
        return std::nullopt;
    }
    return cpuFamilyFor(vendor, *family, *model);
}

std::optional<QByteArray> LinuxSystemProbe::kernelValue(const char* name) {
    if (name == nullptr) {
        return std::nullopt;
    }
    const QByteArray key(name);
    std::optional<qint32> value;
    if (key == "hw.cputype") {
        if (const std::optional<utsname> kernel = kernelName()) {
            value = cpuTypeForMachine(QString::fromLatin1(kernel->machine));
        }
    } else if (key == "hw.cpufamily") {
        value = cpuFamilyFromCpuInfo();
    }
    if (!value) {
        return std::nullopt;
    }
    return hostOrderBytes(*value);
}

}  // namespace qby::platform::linuxhost
