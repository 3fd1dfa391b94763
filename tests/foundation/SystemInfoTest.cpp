#include "QStringPrinter.h"
#include "foundation/SystemInfo.h"

#include <QHash>
#include <deque>
#include <gtest/gtest.h>

namespace qby::foundation {
namespace {

// Answers each query from a queue of scripted answers (the last one repeats) and counts calls.
class ScriptedProbe : public SystemProbe {
public:
    std::deque<std::optional<OperatingSystemVersion>> versions;
    QHash<QByteArray, std::deque<std::optional<QByteArray>>> kernel;
    int versionQueries = 0;

    std::optional<OperatingSystemVersion> operatingSystemVersion() override {
        ++versionQueries;
        return next(versions);
    }
    std::optional<QString> buildVersion() override { return std::nullopt; }
    std::optional<QByteArray> kernelValue(const char* name) override { return next(kernel[name]); }

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
    QStringList answers;
    for (int i = 0; i < 6; ++i) answers << info.systemVersionString();
    EXPECT_EQ(answers, QStringList({"0.0.0", "0.0.0", "0.4.4", "0.4.4", "12.-1.-1", "12.-1.-1"}));
}

struct AtLeastCase {
    OperatingSystemVersion version;
    bool atLeast10_12;
};

class SystemInfoAtLeastTest : public ::testing::TestWithParam<AtLeastCase> {};

TEST_P(SystemInfoAtLeastTest, ComparesMajorAndMinorSigned) {
    ScriptedProbe probe;
    probe.versions = {GetParam().version};
    SystemInfo info(probe);
    EXPECT_EQ(info.isSystemAtLeast10_12(), GetParam().atLeast10_12)
        << info.systemVersionString().toStdString();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Table, SystemInfoAtLeastTest,
    ::testing::Values(AtLeastCase{{0, 0, 0}, false}, AtLeastCase{{9, 99, 0}, false},
                      AtLeastCase{{10, 11, 6}, false}, AtLeastCase{{10, 12, 0}, true},
                      AtLeastCase{{11, 7, 0}, true},
                      // Signed: a negative minor does not hold back a higher major.
                      AtLeastCase{{12, -1, 0}, true}, AtLeastCase{{10, -20, 0}, false},
                      AtLeastCase{{-5, 99, 0}, false}));
// clang-format on

TEST(SystemInfoTest, ProcessorValuesNeedFourNonZeroBytesAndAreCached) {
    ScriptedProbe probe;
    probe.kernel["hw.cpufamily"] = {std::nullopt, QByteArray(8, '\x01'), QByteArray(3, '\x01'),
                                    QByteArray(), bytesOf(0x37FC219F),   bytesOf(0x0F817246)};
    SystemInfo info(probe);
    std::vector<qint32> families;
    for (int i = 0; i < 6; ++i) families.push_back(info.cpuFamily());
    EXPECT_EQ(families, (std::vector<qint32>{0, 0, 0, 0, 0x37FC219F, 0x37FC219F}));
}

}  // namespace
}  // namespace qby::foundation
