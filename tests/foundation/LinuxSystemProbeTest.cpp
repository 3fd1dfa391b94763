#include "platform/linux/LinuxSystemProbe.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <limits>

namespace qby::platform {

// Found by argument-dependent lookup from std::optional and GoogleTest.
inline bool operator==(const OperatingSystemVersion& a, const OperatingSystemVersion& b) {
    return a.major == b.major && a.minor == b.minor && a.patch == b.patch;
}

inline void PrintTo(const OperatingSystemVersion& v, std::ostream* os) {
    *os << v.major << "." << v.minor << "." << v.patch;
}

namespace linuxhost {
namespace {

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

qint32 valueOf(const QByteArray& bytes) {
    qint32 value = 0;
    std::memcpy(&value, bytes.constData(), sizeof value);
    return value;
}

// A text (such as what /proc/sys/kernel/osrelease holds) and the version it gives.
struct VersionTextCase {
    const char* text;
    std::optional<OperatingSystemVersion> version;
};
using KernelReleaseCase = VersionTextCase;

class KernelReleaseTest : public LinuxSystemProbeTest,
                          public ::testing::WithParamInterface<KernelReleaseCase> {};

TEST_P(KernelReleaseTest, KernelYearGivesTheSystemVersion) {
    LinuxSystemProbe probe(write(QStringLiteral("osrelease"), GetParam().text), missing());
    EXPECT_EQ(probe.operatingSystemVersion(), GetParam().version);
    EXPECT_EQ(probe.buildVersion(), QString::fromUtf8(GetParam().text).trimmed());
}

// The first kernel of each year and the one just before it, across every rule of the calendar.
INSTANTIATE_TEST_SUITE_P(
    Calendar, KernelReleaseTest,
    ::testing::Values(KernelReleaseCase{"6.1.0-18-amd64\n", OperatingSystemVersion{13, 0, 0}},
                      KernelReleaseCase{"5.14.0-427.13.1.el9_4.x86_64\n",
                                        OperatingSystemVersion{12, 0, 0}},
                      KernelReleaseCase{"6.12.10-arch1-1", OperatingSystemVersion{15, 0, 0}},
                      KernelReleaseCase{"2.6.18-419.el5", OperatingSystemVersion{10, 4, 0}},
                      KernelReleaseCase{"2.6.10", OperatingSystemVersion{10, 3, 0}},
                      KernelReleaseCase{"2.6.11", OperatingSystemVersion{10, 4, 0}},
                      KernelReleaseCase{"2.6.19", OperatingSystemVersion{10, 4, 0}},
                      KernelReleaseCase{"2.6.20", OperatingSystemVersion{10, 5, 0}},
                      KernelReleaseCase{"2.6.28", OperatingSystemVersion{10, 5, 0}},
                      KernelReleaseCase{"2.6.29", OperatingSystemVersion{10, 6, 0}},
                      KernelReleaseCase{"2.6.36", OperatingSystemVersion{10, 6, 0}},
                      KernelReleaseCase{"2.6.37", OperatingSystemVersion{10, 7, 0}},
                      KernelReleaseCase{"3.1.10", OperatingSystemVersion{10, 7, 0}},
                      KernelReleaseCase{"3.2", OperatingSystemVersion{10, 8, 0}},
                      KernelReleaseCase{"4.3.9", OperatingSystemVersion{10, 11, 0}},
                      KernelReleaseCase{"4.4.0", OperatingSystemVersion{10, 12, 0}},
                      KernelReleaseCase{"4.20", OperatingSystemVersion{10, 14, 0}},
                      KernelReleaseCase{"5.4.0", OperatingSystemVersion{10, 15, 0}},
                      KernelReleaseCase{"5.5.0", OperatingSystemVersion{11, 0, 0}},
                      KernelReleaseCase{"6.18.2", OperatingSystemVersion{26, 0, 0}},
                      KernelReleaseCase{"6.19.0", OperatingSystemVersion{27, 0, 0}},
                      KernelReleaseCase{"9.3.1", OperatingSystemVersion{27, 0, 0}},
                      KernelReleaseCase{"2.4.37", OperatingSystemVersion{10, 3, 0}},
                      KernelReleaseCase{"vanilla", std::nullopt}));

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

class VersionFromTextTest : public ::testing::TestWithParam<VersionTextCase> {};

TEST_P(VersionFromTextTest, TakesTheLeadingNumbers) {
    EXPECT_EQ(LinuxSystemProbe::versionFromText(QString::fromUtf8(GetParam().text)),
              GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionFromTextTest,
    ::testing::Values(VersionTextCase{"6.1.0-18-amd64", OperatingSystemVersion{6, 1, 0}},
                      VersionTextCase{"5.15.146.1-microsoft", OperatingSystemVersion{5, 15, 146}},
                      VersionTextCase{"12", OperatingSystemVersion{12, 0, 0}},
                      VersionTextCase{"22.04", OperatingSystemVersion{22, 4, 0}},
                      VersionTextCase{"1.", OperatingSystemVersion{1, 0, 0}},
                      VersionTextCase{"4.x.2", OperatingSystemVersion{4, 0, 0}},
                      VersionTextCase{"", std::nullopt}, VersionTextCase{"v1.2", std::nullopt},
                      VersionTextCase{".5", std::nullopt}, VersionTextCase{"-3", std::nullopt}));

struct CpuInfoCase {
    const char* content;
    std::optional<qint32> family;
};

class CpuFamilyTest : public LinuxSystemProbeTest,
                      public ::testing::WithParamInterface<CpuInfoCase> {};

TEST_P(CpuFamilyTest, MapsIntelModels) {
    LinuxSystemProbe probe(missing(), write(QStringLiteral("cpuinfo"), GetParam().content));
    const std::optional<QByteArray> bytes = probe.kernelValue("hw.cpufamily");
    if (!GetParam().family) {
        EXPECT_EQ(bytes, std::nullopt);
        return;
    }
    ASSERT_TRUE(bytes.has_value());
    ASSERT_EQ(bytes->size(), 4);
    EXPECT_EQ(valueOf(*bytes), *GetParam().family);
}

#define INTEL(model)                                                                 \
    "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: " #model \
    "\nmodel name\t: Intel(R)\n"

INSTANTIATE_TEST_SUITE_P(
    Table, CpuFamilyTest,
    ::testing::Values(
        // The first model of the list, a second model of the same family, the last one.
        CpuInfoCase{INTEL(14), 0x73D67300}, CpuInfoCase{INTEL(22), 0x426F69EF},
        CpuInfoCase{INTEL(126), 0x38435547}, CpuInfoCase{INTEL(0), std::nullopt},
        CpuInfoCase{INTEL(143), std::nullopt},
        CpuInfoCase{"vendor_id\t: AuthenticAMD\ncpu family\t: 6\nmodel\t\t: 14\n", std::nullopt},
        CpuInfoCase{"vendor_id\t: GenuineIntel\ncpu family\t: 15\nmodel\t\t: 14\n", std::nullopt},
        CpuInfoCase{"vendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: x14\n", std::nullopt},
        // Only the first processor counts.
        CpuInfoCase{INTEL(14) "\n" INTEL(94), 0x73D67300},
        CpuInfoCase{"processor\t: 0\nBogoMIPS\t: 48.00\nCPU implementer\t: 0x41\n", std::nullopt},
        CpuInfoCase{"", std::nullopt}, CpuInfoCase{"\xff\xfe\x00\x01:::\n:\n", std::nullopt}));

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
    const std::optional<qint32> type =
        LinuxSystemProbe::cpuTypeForMachine(QString::fromLatin1(name.machine));
    LinuxSystemProbe probe(missing(), missing());
    const std::optional<QByteArray> bytes = probe.kernelValue("hw.cputype");
    if (bytes) {
        ASSERT_EQ(bytes->size(), 4);
    }
    EXPECT_EQ(bytes ? std::optional<qint32>(valueOf(*bytes)) : std::nullopt, type);
    for (const char* unknown : {"hw.cpufamily", "hw.ncpu", "", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(probe.kernelValue(unknown), std::nullopt) << (unknown ? unknown : "null");
    }
}

TEST(CpuTypeForMachineTest, MapsMachineNames) {
    const std::pair<const char*, std::optional<qint32>> cases[] = {
        {"x86_64", 0x01000007},    {"i386", 7},           {"i686", 7},
        {"aarch64", 0x0100000C},   {"arm64", 0x0100000C}, {"armv7l", 12},
        {"riscv64", std::nullopt}, {"", std::nullopt},    {"ppc64le", std::nullopt}};
    for (const auto& [machine, type] : cases) {
        EXPECT_EQ(LinuxSystemProbe::cpuTypeForMachine(QString::fromLatin1(machine)), type)
            << machine;
    }
}

}  // namespace
}  // namespace linuxhost
}  // namespace qby::platform
