#include "QStringPrinter.h"
#include "foundation/SystemInfo.h"

#include <QHash>
#include <cstring>
#include <deque>
#include <gtest/gtest.h>

namespace qby::foundation {
namespace {

// Answers each query from a queue of scripted answers (the last one repeats) and counts calls.
class ScriptedProbe : public SystemProbe {
public:
    std::deque<std::optional<OperatingSystemVersion>> versions;
    std::deque<std::optional<QString>> builds;
    QHash<QByteArray, std::deque<std::optional<QByteArray>>> kernel;
    int versionQueries = 0, buildQueries = 0;
    QHash<QByteArray, int> kernelQueries;

    std::optional<OperatingSystemVersion> operatingSystemVersion() override {
        ++versionQueries;
        return next(versions);
    }
    std::optional<QString> buildVersion() override {
        ++buildQueries;
        return next(builds);
    }
    std::optional<QByteArray> kernelValue(const char* name) override {
        ++kernelQueries[name];
        return next(kernel[name]);
    }

private:
    template <typename T>
    static std::optional<T> next(std::deque<std::optional<T>>& queue) {
        if (queue.empty()) return std::nullopt;
        std::optional<T> answer = queue.front();
        if (queue.size() > 1) queue.pop_front();
        return answer;
    }
};

QByteArray bytesOf(qint32 value) {
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

TEST(SystemInfoTest, VersionQueryIsCachedOnceMajorIsKnown) {
    ScriptedProbe probe;
    probe.versions = {OperatingSystemVersion{10, 15, 7}, OperatingSystemVersion{11, 0, 0}};
    SystemInfo info(probe);
    // No out-parameter at all still fills the cache.
    info.getSystemVersion(nullptr, nullptr, nullptr);
    qint32 major = -1, minor = -1, patch = -1;
    info.getSystemVersion(&major, &minor, &patch);
    EXPECT_EQ(std::tuple(major, minor, patch), std::tuple(10, 15, 7));
    EXPECT_EQ(info.systemVersionString(), QStringLiteral("10.15.7"));
    EXPECT_EQ(probe.versionQueries, 1);
}

// Only the low 32 bits of each number are kept.
TEST(SystemInfoTest, ZeroMajorIsAskedAgain) {
    ScriptedProbe probe;
    probe.versions = {std::nullopt,
                      std::nullopt,
                      OperatingSystemVersion{0, 4, 4},
                      OperatingSystemVersion{0, 4, 4},
                      OperatingSystemVersion{(qint64(1) << 32) + 12, -1, qint64(0x1FFFFFFFF)},
                      OperatingSystemVersion{13, 0, 0}};
    SystemInfo info(probe);
    EXPECT_EQ(info.systemVersionString(), QStringLiteral("0.0.0"));
    EXPECT_FALSE(info.isSystemAtLeast10_9());
    EXPECT_EQ(info.systemVersionString(), QStringLiteral("0.4.4"));
    EXPECT_FALSE(info.isSystemAtLeast10_9());
    EXPECT_EQ(info.systemVersionString(), QStringLiteral("12.-1.-1"));
    EXPECT_EQ(info.systemVersionString(), QStringLiteral("12.-1.-1"));
    EXPECT_EQ(probe.versionQueries, 5);
}

struct AtLeastCase {
    OperatingSystemVersion version;
    bool atLeast10_12;  // major and minor
    bool atLeast12;     // the major alone
};

class SystemInfoAtLeastTest : public ::testing::TestWithParam<AtLeastCase> {};

TEST_P(SystemInfoAtLeastTest, ComparesMajorAndMinorSigned) {
    ScriptedProbe probe;
    probe.versions = {GetParam().version};
    SystemInfo info(probe);
    EXPECT_EQ(std::pair(info.isSystemAtLeast10_12(), info.isSystemAtLeast12()),
              std::pair(GetParam().atLeast10_12, GetParam().atLeast12))
        << info.systemVersionString().toStdString();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, SystemInfoAtLeastTest,
    ::testing::Values(AtLeastCase{{0, 0, 0}, false, false}, AtLeastCase{{9, 99, 0}, false, false},
                      AtLeastCase{{10, 11, 6}, false, false}, AtLeastCase{{10, 12, 0}, true, false},
                      AtLeastCase{{11, 7, 0}, true, false},
                      // Signed: a negative minor does not hold back a higher major.
                      AtLeastCase{{12, -1, 0}, true, true}, AtLeastCase{{10, -20, 0}, false, false},
                      AtLeastCase{{-5, 99, 0}, false, false}));
// clang-format on

TEST(SystemInfoTest, BuildVersionIsReadEachTimeAndEmptyMeansNothing) {
    ScriptedProbe probe;
    probe.builds = {QStringLiteral("22A380"), QString(), std::nullopt, QStringLiteral("22B83")};
    SystemInfo info(probe);
    std::vector<std::optional<QString>> answers;
    for (int i = 0; i < 4; ++i) answers.push_back(info.systemBuildVersion());
    EXPECT_EQ(answers, (std::vector<std::optional<QString>>{"22A380", {}, {}, "22B83"}));
    EXPECT_EQ(probe.buildQueries, 4);
}

TEST(SystemInfoTest, ProcessorValuesNeedFourNonZeroBytesAndAreCached) {
    ScriptedProbe probe;
    probe.kernel["hw.cpufamily"] = {std::nullopt, QByteArray(8, '\x01'), QByteArray(3, '\x01'),
                                    QByteArray(), bytesOf(0x37FC219F),   bytesOf(0x0F817246)};
    probe.kernel["hw.cputype"] = {bytesOf(0), bytesOf(0x01000007)};  // zero is asked again
    SystemInfo info(probe);
    std::vector<qint32> families, types;
    for (int i = 0; i < 6; ++i) families.push_back(info.cpuFamily());
    for (int i = 0; i < 3; ++i) types.push_back(info.cpuType());
    EXPECT_EQ(families, (std::vector<qint32>{0, 0, 0, 0, 0x37FC219F, 0x37FC219F}));
    EXPECT_EQ(types, (std::vector<qint32>{0, 0x01000007, 0x01000007}));
    EXPECT_EQ(probe.kernelQueries["hw.cpufamily"], 5);
    EXPECT_EQ(probe.kernelQueries["hw.cputype"], 2);
}

}  // namespace
}  // namespace qby::foundation
