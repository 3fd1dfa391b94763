#include "CannedRoutes.h"
#include "CoreApplication.h"
#include "platform/linux/LinuxDispatch.h"
#include "platform/linux/LinuxUrlLoader.h"

#include <gtest/gtest.h>
#include <QTest>
#include <optional>

namespace qby::platform::linuxhost {
namespace {

struct LoaderRow {
    const char* name;
    const char* path;
    qint64 maxBytes;
    std::optional<QByteArray> body;
};

void PrintTo(const LoaderRow& row, std::ostream* out) {
    *out << row.name;
}

class LinuxUrlLoaderTest : public testing::TestWithParam<LoaderRow> {
protected:
    static void SetUpTestSuite() { testsupport::ensureCoreApplication(); }

    testsupport::LocalHttpServer server_{testsupport::cannedRoutes()};
};

// The read runs on a pool thread, as the release feed's does, while the server answers from
// the main thread.
TEST_P(LinuxUrlLoaderTest, ReadsTheWholeBodyOrNothing) {
    const LoaderRow& row = GetParam();
    ASSERT_TRUE(server_.listening());
    LinuxUrlLoader loader(300);
    LinuxDispatch dispatch;
    std::optional<std::optional<QByteArray>> answer;
    const QUrl url = server_.url(row.path);
    dispatch.async([&] {
        std::optional<QByteArray> body = loader.dataWithContentsOfURL(url, row.maxBytes);
        dispatch.performOnMainThread([&answer, body] { answer = body; });
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000));
    EXPECT_EQ(*answer, row.body);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LinuxUrlLoaderTest,
    testing::Values(LoaderRow{"Plain", "/plain", 100, "hello world"},
                    LoaderRow{"ExactlyAtTheLimit", "/plain", 11, "hello world"},
                    LoaderRow{"AnnouncedOverTheLimit", "/plain", 10, std::nullopt},
                    LoaderRow{"UnannouncedOverTheLimit", "/unannounced", 10, std::nullopt},
                    LoaderRow{"Redirected", "/redirect", 100, "hello world"},
                    LoaderRow{"GzipDecoded", "/gzip", 100, "quillbay\n"},
                    LoaderRow{"ErrorStatus", "/busy", 100, std::nullopt},
                    LoaderRow{"NotFound", "/nothing-here", 100, std::nullopt},
                    LoaderRow{"ShortBody", "/short", 100, std::nullopt},
                    LoaderRow{"Stall", "/stall", 100, std::nullopt},
                    LoaderRow{"SlowButSteadyIsNoStall", "/drip", 100, "hello"}),
    [](const testing::TestParamInfo<LoaderRow>& info) { return info.param.name; });

}  // namespace
}  // namespace qby::platform::linuxhost
