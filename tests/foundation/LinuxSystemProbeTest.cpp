#include "QStringPrinter.h"
#include "platform/linux/system/LinuxSystemProbe.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <sys/utsname.h>

namespace qby::foundation {

// Found by argument-dependent lookup from std::optional and GoogleTest.
inline bool operator==(const OperatingSystemVersion& a, const OperatingSystemVersion& b) {
    return a.major == b.major && a.minor == b.minor && a.patch == b.patch;
}

inline void PrintTo(const OperatingSystemVersion& v, std::ostream* os) {
    *os << v.major << "." << v.minor << "." << v.patch;
}

}  // namespace qby::foundation

namespace qby::platform::linuxhost {
namespace {

using foundation::OperatingSystemVersion;

class LinuxSystemProbeTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& content) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    QString missing() const { return dir_.filePath(QStringLiteral("missing")); }

    QTemporaryDir dir_;
};

// The number a kernel value holds, four bytes in host order; none without a value.
std::optional<qint32> valueOf(const std::optional<QByteArray>& bytes) {
    qint32 value = 0;
    if (!bytes) return std::nullopt;
    EXPECT_EQ(bytes->size(), qsizetype(sizeof value));
    std::memcpy(&value, bytes->constData(), qMin(size_t(bytes->size()), sizeof value));
    return value;
}

// A text (such as what /proc/sys/kernel/osrelease holds) and the version it gives; a major of
// -1: none.
struct TextCase {
    const char* text;
    qint64 major, minor = 0, patch = 0;
    std::optional<OperatingSystemVersion> version() const {
        if (major < 0) return std::nullopt;
        return OperatingSystemVersion{major, minor, patch};
    }
};

class KernelReleaseTest : public LinuxSystemProbeTest,
                          public ::testing::WithParamInterface<TextCase> {};

TEST_P(KernelReleaseTest, KernelYearGivesTheSystemVersion) {
    LinuxSystemProbe probe(write(QStringLiteral("osrelease"), GetParam().text), missing());
    EXPECT_EQ(probe.operatingSystemVersion(), GetParam().version());
    EXPECT_EQ(probe.buildVersion(), QString::fromUtf8(GetParam().text).trimmed());
}

INSTANTIATE_TEST_SUITE_P(
    Calendar, KernelReleaseTest,
    ::testing::Values(
        // The first kernel of each year and the one before it, across every rule of the calendar.
        TextCase{"6.1.0-18-amd64\n", 13}, TextCase{"5.14.0-427.13.1.el9_4.x86_64\n", 12},
        TextCase{"6.12.10-arch1-1", 15}, TextCase{"2.6.10", 10, 3}, TextCase{"2.6.11", 10, 4},
        TextCase{"2.6.19", 10, 4}, TextCase{"2.6.20", 10, 5}, TextCase{"2.6.28", 10, 5},
        TextCase{"2.6.29", 10, 6}, TextCase{"2.6.36", 10, 6}, TextCase{"2.6.37", 10, 7},
        TextCase{"3.1.10", 10, 7}, TextCase{"3.2", 10, 8}, TextCase{"4.3.9", 10, 11},
        TextCase{"4.4.0", 10, 12}, TextCase{"4.20", 10, 14}, TextCase{"5.4.0", 10, 15},
        TextCase{"5.5.0", 11}, TextCase{"6.18.2", 26}, TextCase{"6.19.0", 27},
        TextCase{"9.3.1", 27}, TextCase{"2.4.37", 10, 3}, TextCase{"vanilla", -1}));

TEST_F(LinuxSystemProbeTest, UnreadableReleaseFallsBackToTheKernelsOwnAnswer) {
    utsname name{};
    ASSERT_EQ(uname(&name), 0);
    const QString release = QString::fromLocal8Bit(name.release);
    for (const QString& path : {missing(), write(QStringLiteral("empty"), "")}) {
        LinuxSystemProbe probe(path, missing());
        EXPECT_EQ(probe.buildVersion(), release);
        LinuxSystemProbe fromFile(write(QStringLiteral("copy"), release.toUtf8()), missing());
        EXPECT_EQ(probe.operatingSystemVersion(), fromFile.operatingSystemVersion());
        EXPECT_TRUE(probe.operatingSystemVersion().has_value());
    }
}

class VersionFromTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(VersionFromTextTest, TakesTheLeadingNumbers) {
    EXPECT_EQ(LinuxSystemProbe::versionFromText(QString::fromUtf8(GetParam().text)),
              GetParam().version());
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionFromTextTest,
    ::testing::Values(
        // Up to three numbers, each after a "." and a digit; none without a leading digit.
        TextCase{"6.1.0-18-amd64", 6, 1, 0}, TextCase{"5.15.146.1-microsoft", 5, 15, 146},
        TextCase{"12", 12}, TextCase{"22.04", 22, 4}, TextCase{"1.", 1}, TextCase{"4.x.2", 4},
        TextCase{"", -1}, TextCase{"v1.2", -1}, TextCase{".5", -1}, TextCase{"-3", -1}));

struct CpuCase {
    const char* content;
    std::optional<qint32> family;
};

class CpuFamilyTest : public LinuxSystemProbeTest, public ::testing::WithParamInterface<CpuCase> {};

TEST_P(CpuFamilyTest, MapsIntelModels) {
    LinuxSystemProbe probe(missing(), write(QStringLiteral("cpuinfo"), GetParam().content));
    EXPECT_EQ(valueOf(probe.kernelValue("hw.cpufamily")), GetParam().family);
}

#define INTEL(model)                                                                 \
    "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: " #model \
    "\nmodel name\t: Intel(R)\n"

INSTANTIATE_TEST_SUITE_P(
    Table, CpuFamilyTest,
    ::testing::Values(
        // The first model of the list, a second model of the same family, the last one.
        CpuCase{INTEL(14), 0x73D67300}, CpuCase{INTEL(22), 0x426F69EF},
        CpuCase{INTEL(126), 0x38435547}, CpuCase{INTEL(0), std::nullopt},
        CpuCase{INTEL(143), std::nullopt},
        CpuCase{"vendor_id\t: AuthenticAMD\ncpu family\t: 6\nmodel\t\t: 14\n", std::nullopt},
        CpuCase{"vendor_id\t: GenuineIntel\ncpu family\t: 15\nmodel\t\t: 14\n", std::nullopt},
        CpuCase{"vendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: x14\n", std::nullopt},
        // Only the first processor counts.
        CpuCase{INTEL(14) "\n" INTEL(94), 0x73D67300},
        CpuCase{"processor\t: 0\nBogoMIPS\t: 48.00\nCPU implementer\t: 0x41\n", std::nullopt},
        CpuCase{"", std::nullopt}, CpuCase{"\xff\xfe\x00\x01:::\n:\n", std::nullopt}));

TEST_F(LinuxSystemProbeTest, HugeCpuInfoIsBounded) {
    QByteArray content(16 * 1024 * 1024, 'x');
    content.append("\nvendor_id: GenuineIntel\ncpu family: 6\nmodel: 14\n");
    LinuxSystemProbe probe(missing(), write(QStringLiteral("cpuinfo"), content));
    EXPECT_EQ(probe.kernelValue("hw.cpufamily"), std::nullopt);
}

// Without files the processor type still comes from the kernel's machine name.
TEST_F(LinuxSystemProbeTest, MissingFilesAndUnknownNames) {
    utsname name{};
    ASSERT_EQ(uname(&name), 0);
    LinuxSystemProbe probe(missing(), missing());
    EXPECT_EQ(valueOf(probe.kernelValue("hw.cputype")),
              LinuxSystemProbe::cpuTypeForMachine(QString::fromLatin1(name.machine)));
    for (const char* unknown : {"hw.cpufamily", "hw.ncpu", "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(probe.kernelValue(unknown), std::nullopt) << (unknown ? unknown : "null");
}

TEST(CpuTypeForMachineTest, MapsMachineNames) {
    const std::pair<const char*, std::optional<qint32>> cases[] = {
        {"x86_64", 0x01000007},    {"i386", 7},           {"i686", 7},
        {"aarch64", 0x0100000C},   {"arm64", 0x0100000C}, {"armv7l", 12},
        {"riscv64", std::nullopt}, {"", std::nullopt},    {"ppc64le", std::nullopt}};
    for (const auto& [machine, type] : cases)
        EXPECT_EQ(LinuxSystemProbe::cpuTypeForMachine(QString::fromLatin1(machine)), type)
            << machine;
}

}  // namespace
}  // namespace qby::platform::linuxhost
