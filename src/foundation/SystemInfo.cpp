#include "SystemInfo.h"

#include <atomic>
#include <cstring>

namespace qby::foundation {

namespace {

std::atomic<SystemInfo*> sharedInfo{nullptr};

// The platform reports 64-bit numbers; the cache keeps their low 32 bits.
qint32 low32(qint64 value) {
    return static_cast<qint32>(static_cast<quint32>(static_cast<quint64>(value) & 0xFFFFFFFFu));
}

}  // namespace

SystemInfo::SystemInfo(SystemProbe& probe) : probe_(probe) {}

void SystemInfo::getSystemVersion(qint32* major, qint32* minor, qint32* patch) {
    if (major_ == 0) {
        const std::optional<OperatingSystemVersion> version = probe_.operatingSystemVersion();
        if (version) {
            major_ = low32(version->major);
            minor_ = low32(version->minor);
            patch_ = low32(version->patch);
        } else {
            major_ = minor_ = patch_ = 0;
        }
    }
    if (major) {
        *major = major_;
    }
    if (minor) {
        *minor = minor_;
    }
    if (patch) {
        *patch = patch_;
    }
}

QString SystemInfo::systemVersionString() {
    qint32 major = 0;
    qint32 minor = 0;
    qint32 patch = 0;
    getSystemVersion(&major, &minor, &patch);
    return QString::asprintf("%d.%d.%d", major, minor, patch);
}

bool SystemInfo::isAtLeast(qint32 major, qint32 minor) {
    qint32 systemMajor = 0;
    qint32 systemMinor = 0;
    getSystemVersion(&systemMajor, &systemMinor, nullptr);
    return systemMajor > major || (systemMajor == major && systemMinor >= minor);
}

bool SystemInfo::isMajorAbove(qint32 major) {
    qint32 systemMajor = 0;
    getSystemVersion(&systemMajor, nullptr, nullptr);
    return systemMajor > major;
}

// The whole-number tests look at the major only, whatever the minor holds.
bool SystemInfo::isSystemAtLeast12() {
    return isMajorAbove(11);
}
bool SystemInfo::isSystemAtLeast11() {
    return isMajorAbove(10);
}
bool SystemInfo::isSystemAtLeast10_15() {
    return isAtLeast(10, 15);
}
bool SystemInfo::isSystemAtLeast10_14() {
    return isAtLeast(10, 14);
}
bool SystemInfo::isSystemAtLeast10_13() {
    return isAtLeast(10, 13);
}
bool SystemInfo::isSystemAtLeast10_12() {
    return isAtLeast(10, 12);
}
bool SystemInfo::isSystemAtLeast10_11() {
    return isAtLeast(10, 11);
}
bool SystemInfo::isSystemAtLeast10_10() {
    return isAtLeast(10, 10);
}
bool SystemInfo::isSystemAtLeast10_9() {
    return isAtLeast(10, 9);
}

std::optional<QString> SystemInfo::systemBuildVersion() {
    std::optional<QString> build = probe_.buildVersion();
    if (!build || build->isEmpty()) {
        return std::nullopt;
    }
    return build;
}

qint32 SystemInfo::cachedKernelValue(const char* name, qint32& cache) {
    if (cache != 0) {
        return cache;
    }
    const std::optional<QByteArray> bytes = probe_.kernelValue(name);
    // Only a value of exactly four bytes is a 32-bit number; anything else is a failed query.
    if (bytes && bytes->size() == static_cast<qsizetype>(sizeof(qint32))) {
        qint32 value = 0;
        std::memcpy(&value, bytes->constData(), sizeof value);
        cache = value;
    }
    return cache;
}

qint32 SystemInfo::cpuType() {
    return cachedKernelValue("hw.cputype", cpuType_);
}

qint32 SystemInfo::cpuFamily() {
    return cachedKernelValue("hw.cpufamily", cpuFamily_);
}

SystemInfo* SystemInfo::shared() {
    return sharedInfo.load(std::memory_order_acquire);
}

void SystemInfo::setShared(SystemInfo* info) {
    sharedInfo.store(info, std::memory_order_release);
}

}  // namespace qby::foundation
