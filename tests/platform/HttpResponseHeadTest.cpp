#include "NamedCase.h"
#include "platform/linux/net/HttpResponseHead.h"

#include <gtest/gtest.h>

namespace qby::platform::linuxhost {
namespace {

struct HeadRow : testsupport::NamedCase {
    const char* text;
    int status;  // 0: refused
    const char* contentType = "";
};

class HttpResponseHeadTest : public testing::TestWithParam<HeadRow> {};

TEST_P(HttpResponseHeadTest, ReadsOnlyWellFormedHeads) {
    const HeadRow& row = GetParam();
    const std::optional<HttpResponseHead> head = HttpResponseHead::parse(row.text);
    ASSERT_EQ(head.has_value(), row.status != 0);
    if (!head) return;
    EXPECT_EQ(head->status, row.status);
    EXPECT_EQ(head->field("content-TYPE"), QByteArray(row.contentType));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, HttpResponseHeadTest,
    testing::Values(
        HeadRow{"Fields", "HTTP/1.1 206 Partial Content\r\nContent-Type:  text/plain \r\nETag: \"v\"\r\n", 206,
                "text/plain"},
        HeadRow{"LastOfRepeatedField", "HTTP/1.0 200 OK\nContent-Type: a\nContent-Type: b\n", 200, "b"},
        HeadRow{"NoReasonPhrase", "HTTP/1.1 404\r\n", 404},
        HeadRow{"Empty", "", 0},
        HeadRow{"HttpTwo", "HTTP/2.0 200 OK\r\n", 0},
        HeadRow{"ShortStatus", "HTTP/1.1 20 OK\r\n", 0},
        HeadRow{"StatusRunsOn", "HTTP/1.1 2000 OK\r\n", 0},
        HeadRow{"FieldWithoutColon", "HTTP/1.1 200 OK\r\nContent-Type text/plain\r\n", 0},
        HeadRow{"SpaceBeforeColon", "HTTP/1.1 200 OK\r\nContent-Length : 5\r\n", 0},
        HeadRow{"FoldedLine", "HTTP/1.1 200 OK\r\nX-A: 1\r\n  continued\r\n", 0}),
    testsupport::CaseName{});
// clang-format on

}  // namespace
}  // namespace qby::platform::linuxhost
