#include "PropertyListBytes.h"
#include "TemporaryBundle.h"
#include "storeclient/NotificationParser.h"

#include <gtest/gtest.h>

namespace qby::storeclient {
namespace {

using testsupport::binaryPlist;
using testsupport::TemporaryBundle;
using testsupport::xmlPlist;

struct ParseCase {
    const char* name;
    QByteArray bytes;
    QString error;  // empty: the file is a request
    Request request;
};

class NotificationParserTest : public testing::TestWithParam<ParseCase> {};

TEST_P(NotificationParserTest, ReadsRequestsAndRefusesEverythingElse) {
    const ParseCase& c = GetParam();
    const ParsedNotification parsed = NotificationParser::parse(c.bytes);
    EXPECT_EQ(parsed.ok, c.error.isEmpty());
    EXPECT_EQ(parsed.request, c.request);
    EXPECT_EQ(parsed.error, c.error);
}

const Request kRequest{{"Product", "Harbour Lights"}, {"Token", "a1&<b>\"c\""}, {"Empty", ""}};

// A leading U+FEFF is part of a text, no byte-order mark.
const Request kMarked{{QChar(0xFEFF) + QStringLiteral("k"), QChar(0xFEFF) + QStringLiteral("v")}};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Files, NotificationParserTest,
    testing::Values(
        ParseCase{"XmlDictionary", TemporaryBundle::infoPlistXml(kRequest), {}, kRequest},
        ParseCase{"EmptyDictionary", xmlPlist("<dict/>"), {}, {}},
        ParseCase{"NonAsciiText", TemporaryBundle::infoPlistXml({{"Titel", "Grüße, 世界"}}), {}, {{"Titel", "Grüße, 世界"}}},
        ParseCase{"LeadingByteOrderMarkKept", TemporaryBundle::infoPlistXml(kMarked), {}, kMarked},
        ParseCase{"NoBytes", {}, "not a property list"},
        ParseCase{"TruncatedXml", TemporaryBundle::infoPlistXml(kRequest).left(120), "not a property list"},
        ParseCase{"TruncatedBinary", binaryPlist(kRequest).left(20), "not a safe property list"},
        ParseCase{"Expanding", testsupport::binaryChain(30, 2), "not a safe property list"},
        ParseCase{"ArrayRoot", xmlPlist("<array><string>a</string></array>"), "root is not a dictionary"},
        ParseCase{"IntegerValue", xmlPlist("<dict><key>a</key><string>x</string><key>n</key><integer>7</integer></dict>"),
                  "value of \"n\" is not a string"}),
    [](const testing::TestParamInfo<ParseCase>& info) { return info.param.name; });
// clang-format on

}  // namespace
}  // namespace qby::storeclient
