#include "FakeWorld.h"
#include "NamedCase.h"
#include "client/BringToFront.h"
#include "client/ClientIdentity.h"

#include <gtest/gtest.h>

namespace qby {
namespace {

using fake::FakePlatform;
using fake::FakeRunningApplication;

class ClientProxyTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeRunningApplication> app(std::optional<QString> identifier, const char* name,
                                                bool accepts = true) {
        return world.application(std::move(identifier), name, accepts);
    }
    std::string calls() const { return world.calls(); }

    fake::FakeWorld world;
    FakePlatform& platform = world.platform;
    client::QBYClientProxy& proxy = world.proxy;
};

struct ExcludedPathCase {
    const char* path;
    bool excluded;
};

class ExcludedClientPathTest : public ::testing::TestWithParam<ExcludedPathCase> {};

TEST_P(ExcludedClientPathTest, PlainCaseSensitiveTextTests) {
    EXPECT_EQ(client::isExcludedClientPath(QString::fromUtf8(GetParam().path)), GetParam().excluded)
        << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ExcludedClientPathTest,
    ::testing::Values(ExcludedPathCase{"/private/var/folders/x/Quillbay.app", true},
                      ExcludedPathCase{"/private/tmp/Quillbay.app", true},
                      ExcludedPathCase{"/private/variant/Quillbay.app", true},
                      ExcludedPathCase{"/Users/a/Library/.Sparkle/Quillbay.app", true},
                      ExcludedPathCase{"/Applications/Quillbay.app/.Sparkle", true},
                      ExcludedPathCase{"/var/folders/x/Quillbay.app", false},
                      ExcludedPathCase{"/Private/var/Quillbay.app", false},
                      ExcludedPathCase{"/Applications/Updates.Sparkle/Quillbay.app", false},
                      ExcludedPathCase{"/Applications/.sparkle/Quillbay.app", false},
                      ExcludedPathCase{"/Applications/Quillbay.app", false},
                      ExcludedPathCase{"", false}));

TEST_F(ClientProxyTest, RegistryAnswerWinsWithoutMetadataSearch) {
    platform.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
    EXPECT_EQ(proxy.getClientPath(), QStringLiteral("/Applications/Quillbay.app"));
    EXPECT_EQ(platform.log.count(QStringLiteral("metadata.")), 0) << calls();
}

TEST_F(ClientProxyTest, ExcludedRegistryAnswerFallsToFirstAcceptableSearchResult) {
    platform.registeredClientPath = QStringLiteral("/private/tmp/Quillbay.app");
    platform.queryResults = {platform::MetadataItem{QStringLiteral("/private/var/x/Quillbay.app")},
                             std::nullopt, platform::MetadataItem{std::nullopt},
                             platform::MetadataItem{QStringLiteral("/home/a/A.app")},
                             platform::MetadataItem{QStringLiteral("/home/a/B.app")}};
    EXPECT_EQ(proxy.getClientPath(), QStringLiteral("/home/a/A.app"));
    EXPECT_EQ(platform.log.indexOf(QStringLiteral("metadata.createQuery ") +
                                   client::kClientMetadataQuery),
              1)
        << calls();
    // The walk stops at the first acceptable result, and the query is disposed of.
    EXPECT_EQ(platform.log.count(QStringLiteral("query.resultAtIndex")), 4) << calls();
    EXPECT_EQ(platform.log.count(QStringLiteral("query.release")), 1);
}

struct SearchFailureCase : testsupport::NamedCase {
    bool creatable;
    bool runs;
    std::vector<std::optional<platform::MetadataItem>> results;
};

class SearchFailureTest : public ClientProxyTest,
                          public ::testing::WithParamInterface<SearchFailureCase> {};

TEST_P(SearchFailureTest, GivesNothing) {
    const SearchFailureCase& c = GetParam();
    platform.queryCreatable = c.creatable;
    platform.queryRuns = c.runs;
    platform.queryResults = c.results;
    EXPECT_FALSE(proxy.getClientPath().has_value());
    EXPECT_FALSE(proxy.isClientInstalled());
    // Every query made is disposed of.
    EXPECT_EQ(platform.log.count("query.release"),
              c.creatable ? platform.log.count("metadata.createQuery") : 0)
        << calls();
}

INSTANTIATE_TEST_SUITE_P(
    Searches, SearchFailureTest,
    ::testing::Values(
        SearchFailureCase{"CannotCreate", false, true, {}},
        SearchFailureCase{
            "CannotRun", true, false, {platform::MetadataItem{QStringLiteral("/home/a/A.app")}}},
        SearchFailureCase{"NoResults", true, true, {}},
        SearchFailureCase{"AllExcluded",
                          true,
                          true,
                          {platform::MetadataItem{QStringLiteral("/private/tmp/A.app")},
                           platform::MetadataItem{QStringLiteral("/x/.Sparkle/A.app")}}}),
    testsupport::CaseName{});

struct InstalledCase {
    qint64 major, minor, patch;
    bool looks;
};

class InstalledTest : public ClientProxyTest,
                      public ::testing::WithParamInterface<InstalledCase> {};

TEST_P(InstalledTest, OnlyFromTenSixOn) {
    const InstalledCase& c = GetParam();
    platform.osVersion = platform::OperatingSystemVersion{c.major, c.minor, c.patch};
    platform.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
    EXPECT_EQ(proxy.isClientInstalled(), c.looks) << c.major << "." << c.minor;
    EXPECT_EQ(platform.log.count("workspace.registry"), c.looks ? 1 : 0) << calls();
}

INSTANTIATE_TEST_SUITE_P(Versions, InstalledTest,
                         ::testing::Values(InstalledCase{10, 5, 8, false},
                                           InstalledCase{9, 9, 0, false},
                                           InstalledCase{10, 6, 0, true},
                                           InstalledCase{11, 0, 0, true}));

TEST_F(ClientProxyTest, RunningClientIsTheFirstExactIdentifierMatch) {
    platform.running = {app(std::nullopt, "anonymous"),
                        app(QStringLiteral("com.quillbay.client2"), "lower"),
                        app(QStringLiteral("com.quillbay.Client2.Helper"), "longer"),
                        app(client::kClientBundleIdentifier, "first"),
                        app(client::kClientBundleIdentifier, "second")};
    const auto found = proxy.isClientRunning();
    ASSERT_TRUE(found);
    EXPECT_EQ(static_cast<FakeRunningApplication*>(found.get())->name(), QStringLiteral("first"));

    platform.running.resize(3);
    EXPECT_FALSE(proxy.isClientRunning());
}

TEST_F(ClientProxyTest, SuccessfulLaunchPausesOneSecondWithoutAlert) {
    platform.launchAnswer = {app(client::kClientBundleIdentifier, "client"), std::nullopt};
    EXPECT_TRUE(proxy.launchClient(QStringLiteral("/Applications/Quillbay.app")));
    EXPECT_EQ(platform.log.calls(),
              QStringList({"workspace.launch /Applications/Quillbay.app", "sleep 1"}));
    EXPECT_TRUE(platform.alerts.empty());
}

struct FailedLaunchCase : testsupport::NamedCase {
    bool handle;
    std::optional<qint64> error;
    const char* number;
};

class FailedLaunchTest : public ClientProxyTest,
                         public ::testing::WithParamInterface<FailedLaunchCase> {};

TEST_P(FailedLaunchTest, ShowsTheAlertWithTheErrorNumber) {
    const FailedLaunchCase& c = GetParam();
    platform.launchAnswer = {c.handle ? app(client::kClientBundleIdentifier, "c") : nullptr,
                             c.error};
    EXPECT_FALSE(proxy.launchClient(QStringLiteral("/Applications/Quillbay.app")));
    ASSERT_EQ(platform.alerts.size(), 1u);
    const platform::Alert& alert = platform.alerts.front();
    EXPECT_EQ(alert.messageText, QStringLiteral("The Quillbay app could not be started."));
    EXPECT_EQ(alert.informativeText,
              QStringLiteral("Please use the Finder to locate the QBY app and then "
                             "double-click to start it. Contact Technical Support if you "
                             "continue to have problems.\n\nError ") +
                  QString::fromLatin1(c.number));
    EXPECT_EQ(alert.buttonTitles, QStringList{QStringLiteral("Quit")});
    EXPECT_EQ(platform.log.count("sleep"), 0) << calls();
}

INSTANTIATE_TEST_SUITE_P(Answers, FailedLaunchTest,
                         ::testing::Values(FailedLaunchCase{"ErrorOnly", false, 13, "13"},
                                           FailedLaunchCase{"HandleAndError", true, 2, "2"},
                                           FailedLaunchCase{"Neither", false, std::nullopt, "0"}),
                         testsupport::CaseName{});

TEST_F(ClientProxyTest, TranslatedLaunchAlertKeepsTheNumberPlaceholder) {
    platform.translations.insert(
        QStringLiteral(
            "Please use the Finder to locate the QBY app and then double-click to start "
            "it. Contact Technical Support if you continue to have problems.\n\nError %d"),
        QStringLiteral("Fehler %d"));
    platform.translations.insert(QStringLiteral("Quit"), QStringLiteral("Beenden"));
    platform.launchAnswer = {nullptr, 2};
    proxy.launchClient(QStringLiteral("/Applications/Quillbay.app"));
    ASSERT_EQ(platform.alerts.size(), 1u);
    EXPECT_EQ(platform.alerts.front().informativeText, QStringLiteral("Fehler 2"));
    EXPECT_EQ(platform.alerts.front().buttonTitles, QStringList{QStringLiteral("Beenden")});
}

struct BringToFrontCase : testsupport::NamedCase {
    bool accepts, wait;
    QStringList calls;
};

class BringToFrontTest : public ClientProxyTest,
                         public ::testing::WithParamInterface<BringToFrontCase> {};

TEST_P(BringToFrontTest, ActivatesAllWindowsAndPausesOnlyWhenAsked) {
    const BringToFrontCase& c = GetParam();
    FakeRunningApplication client(platform.log, client::kClientBundleIdentifier, "client",
                                  c.accepts);
    EXPECT_EQ(client::bringToFront(&client, c.wait, platform), c.accepts);
    EXPECT_EQ(platform.log.calls(), c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BringToFrontTest,
    ::testing::Values(
        BringToFrontCase{"Accepted", true, true, {"client.activateWithOptions 3", "usleep 100000"}},
        BringToFrontCase{"Refused", false, true, {"client.activateWithOptions 3", "usleep 100000"}},
        BringToFrontCase{"NoPause", true, false, {"client.activateWithOptions 3"}}),
    testsupport::CaseName{});

TEST_F(ClientProxyTest, BringToFrontOfNothingDoesNothing) {
    EXPECT_FALSE(client::bringToFront(nullptr, true, platform));
    EXPECT_TRUE(platform.log.calls().isEmpty());
}

}  // namespace
}  // namespace qby
