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

// Plain, case-sensitive text tests.
TEST(ExcludedClientPathTest, PrivateFoldersAndUpdaterCopies) {
    for (const char* path :
         {"/private/var/folders/x/Quillbay.app", "/private/tmp/Quillbay.app",
          "/private/variant/Quillbay.app", "/Users/a/Library/.Sparkle/Quillbay.app",
          "/Applications/Quillbay.app/.Sparkle"})
        EXPECT_TRUE(client::isExcludedClientPath(path)) << path;
    for (const char* path :
         {"/var/folders/x/Quillbay.app", "/Private/var/Quillbay.app",
          "/Applications/Updates.Sparkle/Quillbay.app", "/Applications/.sparkle/Quillbay.app",
          "/Applications/Quillbay.app", ""})
        EXPECT_FALSE(client::isExcludedClientPath(path)) << path;
}

TEST_F(ClientProxyTest, RegistryAnswerWins) {
    platform.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
    EXPECT_EQ(proxy.getClientPath(), QStringLiteral("/Applications/Quillbay.app"));
}

TEST_F(ClientProxyTest, ExcludedRegistryAnswerFallsToFirstAcceptableSearchResult) {
    platform.registeredClientPath = QStringLiteral("/private/tmp/Quillbay.app");
    platform.queryResults = {platform::MetadataItem{QStringLiteral("/private/var/x/Quillbay.app")},
                             std::nullopt, platform::MetadataItem{std::nullopt},
                             platform::MetadataItem{QStringLiteral("/home/a/A.app")},
                             platform::MetadataItem{QStringLiteral("/home/a/B.app")}};
    EXPECT_EQ(proxy.getClientPath(), QStringLiteral("/home/a/A.app"));
    // The walk stops at the first acceptable result, and the query is disposed of.
    EXPECT_EQ(platform.log.count("query.resultAtIndex 4"), 0) << calls();
    EXPECT_EQ(platform.log.calls().last(), "query.release");
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

using Item = platform::MetadataItem;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Searches, SearchFailureTest,
    ::testing::Values(
        SearchFailureCase{"CannotCreate", false, true, {}},
        SearchFailureCase{"CannotRun", true, false, {Item{"/home/a/A.app"}}}, SearchFailureCase{"NoResults", true, true, {}},
        SearchFailureCase{"AllExcluded", true, true, {Item{"/private/tmp/A.app"}, Item{"/x/.Sparkle/A.app"}}}),
    testsupport::CaseName{});
// clang-format on

class InstalledTest : public ClientProxyTest,
                      public ::testing::WithParamInterface<std::tuple<qint64, qint64, bool>> {};

TEST_P(InstalledTest, OnlyFromTenSixOn) {
    const auto [major, minor, looks] = GetParam();
    platform.osVersion = foundation::OperatingSystemVersion{major, minor, 8};
    platform.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
    EXPECT_EQ(proxy.isClientInstalled(), looks) << major << "." << minor;
    EXPECT_EQ(platform.log.count("workspace.registry"), looks ? 1 : 0) << calls();
}

INSTANTIATE_TEST_SUITE_P(Versions, InstalledTest,
                         ::testing::Values(std::tuple{10, 5, false}, std::tuple{9, 9, false},
                                           std::tuple{10, 6, true}, std::tuple{11, 0, true}));

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
    platform.launchAnswers(app(client::kClientBundleIdentifier, "client"));
    EXPECT_TRUE(proxy.launchClient(QStringLiteral("/Applications/Quillbay.app")));
    EXPECT_EQ(platform.log.calls(),
              QStringList({"workspace.launch /Applications/Quillbay.app", "sleep 1"}));
    EXPECT_TRUE(platform.alerts.empty());
}

struct FailedLaunchCase : testsupport::NamedCase {
    std::optional<int> error;  // nothing: no application and no error either
    QString details;           // the alert's informative text
    const char* button = "Quit";
};

class FailedLaunchTest : public ClientProxyTest,
                         public ::testing::WithParamInterface<FailedLaunchCase> {};

const QString kUseTheFinder =
    "Please use the Finder to locate the QBY app and then double-click to start it. Contact "
    "Technical Support if you continue to have problems.\n\nError ";

// A translation keeps the number's placeholder: the number is filled in after it.
TEST_P(FailedLaunchTest, ShowsTheAlertWithTheErrorNumber) {
    const FailedLaunchCase& c = GetParam();
    if (QString(c.button) != "Quit")
        platform.translations = {{kUseTheFinder + "%d", "Fehler %d"}, {"Quit", c.button}};
    if (c.error) platform.launchFails(*c.error);
    EXPECT_FALSE(proxy.launchClient(QStringLiteral("/Applications/Quillbay.app")));
    ASSERT_EQ(platform.alerts.size(), 1u);
    const platform::Alert& alert = platform.alerts.front();
    EXPECT_EQ(QStringList({alert.messageText, alert.informativeText}) + alert.buttonTitles,
              QStringList({"The Quillbay app could not be started.", c.details, c.button}));
    EXPECT_EQ(platform.log.count("sleep"), 0) << calls();
    // The log says why; the alert gives the number.
    EXPECT_EQ(platform.log.count("console The client could not be started: scripted failure"),
              c.error ? 1 : 0)
        << calls();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FailedLaunchTest,
    ::testing::Values(FailedLaunchCase{"Error", 13, kUseTheFinder + "13"},
                      FailedLaunchCase{"Neither", std::nullopt, kUseTheFinder + "0"},
                      FailedLaunchCase{"Translated", 2, "Fehler 2", "Beenden"}),
    testsupport::CaseName{});

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
    // Nothing to bring to the front: nothing done.
    EXPECT_FALSE(client::bringToFront(nullptr, c.wait, platform));
    EXPECT_EQ(platform.log.calls(), c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BringToFrontTest,
    ::testing::Values(
        BringToFrontCase{"Accepted", true, true, {"client.activateWithOptions 3", "usleep 100000"}},
        BringToFrontCase{"Refused", false, true, {"client.activateWithOptions 3", "usleep 100000"}},
        BringToFrontCase{"NoPause", true, false, {"client.activateWithOptions 3"}}),
    testsupport::CaseName{});

}  // namespace
}  // namespace qby
