#include "FakePlatform.h"
#include "client/BringToFront.h"
#include "client/ClientIdentity.h"
#include "client/QBYClientProxy.h"

#include <gtest/gtest.h>

namespace qby {
namespace {

using fake::FakePlatform;
using fake::FakeRunningApplication;

class ClientProxyTest : public ::testing::Test {
protected:
    ClientProxyTest()
        : systemInfo(platform),
          proxy({platform, platform, platform, platform, platform, platform, systemInfo}) {}

    std::shared_ptr<FakeRunningApplication> app(std::optional<QString> identifier, const char* name,
                                                bool accepts = true) {
        return std::make_shared<FakeRunningApplication>(platform.log, std::move(identifier),
                                                        QString::fromLatin1(name), accepts);
    }
    std::string calls() const { return platform.log.toString().toStdString(); }

    FakePlatform platform;
    SystemInfo systemInfo;
    QBYClientProxy proxy;
};

TEST(ExcludedClientPaths, PlainCaseSensitiveTextTests) {
    const struct {
        const char* path;
        bool excluded;
    } cases[] = {
        {"/private/var/folders/x/Quillbay.app", true},
        {"/private/tmp/Quillbay.app", true},
        {"/private/variant/Quillbay.app", true},
        {"/Users/a/Library/.Sparkle/Quillbay.app", true},
        {"/Applications/Quillbay.app/.Sparkle", true},
        {"/var/folders/x/Quillbay.app", false},
        {"/Private/var/Quillbay.app", false},
        {"/Applications/Updates.Sparkle/Quillbay.app", false},
        {"/Applications/.sparkle/Quillbay.app", false},
        {"/Applications/Quillbay.app", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isExcludedClientPath(QString::fromUtf8(c.path)), c.excluded) << c.path;
}

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
    EXPECT_EQ(platform.log.indexOf(QStringLiteral("metadata.createQuery ") + kClientMetadataQuery),
              1)
        << calls();
    // The walk stops at the first acceptable result, and the query is disposed of.
    EXPECT_EQ(platform.log.count(QStringLiteral("query.resultAtIndex")), 4) << calls();
    EXPECT_EQ(platform.log.count(QStringLiteral("query.release")), 1);
}

TEST_F(ClientProxyTest, SearchFailuresGiveNothing) {
    struct Case {
        const char* name;
        bool creatable;
        bool runs;
        std::vector<std::optional<platform::MetadataItem>> results;
    };
    const Case cases[] = {
        {"cannot create", false, true, {}},
        {"cannot run", true, false, {platform::MetadataItem{QStringLiteral("/home/a/A.app")}}},
        {"no results", true, true, {}},
        {"all excluded",
         true,
         true,
         {platform::MetadataItem{QStringLiteral("/private/tmp/A.app")},
          platform::MetadataItem{QStringLiteral("/x/.Sparkle/A.app")}}},
    };
    for (const Case& c : cases) {
        FakePlatform fresh;
        SystemInfo info(fresh);
        QBYClientProxy freshProxy({fresh, fresh, fresh, fresh, fresh, fresh, info});
        fresh.queryCreatable = c.creatable;
        fresh.queryRuns = c.runs;
        fresh.queryResults = c.results;
        EXPECT_FALSE(freshProxy.getClientPath().has_value()) << c.name;
        EXPECT_FALSE(freshProxy.isClientInstalled()) << c.name;
        EXPECT_EQ(fresh.log.count(QStringLiteral("query.release")),
                  fresh.log.count(QStringLiteral("metadata.createQuery")) * (c.creatable ? 1 : 0))
            << c.name;
    }
}

TEST_F(ClientProxyTest, InstalledOnlyFromTenSixOn) {
    const struct {
        qint64 major, minor, patch;
        bool looks;
    } cases[] = {
        {10, 5, 8, false}, {9, 9, 0, false}, {10, 6, 0, true}, {11, 0, 0, true}, {12, 0, 0, true}};
    for (const auto& c : cases) {
        FakePlatform fresh;
        fresh.osVersion = platform::OperatingSystemVersion{c.major, c.minor, c.patch};
        fresh.registeredClientPath = QStringLiteral("/Applications/Quillbay.app");
        SystemInfo info(fresh);
        QBYClientProxy freshProxy({fresh, fresh, fresh, fresh, fresh, fresh, info});
        EXPECT_EQ(freshProxy.isClientInstalled(), c.looks) << c.major << "." << c.minor;
        EXPECT_EQ(fresh.log.count(QStringLiteral("workspace.registry")), c.looks ? 1 : 0);
    }
}

TEST_F(ClientProxyTest, RunningClientIsTheFirstExactIdentifierMatch) {
    platform.running = {
        app(std::nullopt, "anonymous"), app(QStringLiteral("com.quillbay.client2"), "lower"),
        app(QStringLiteral("com.quillbay.Client2.Helper"), "longer"),
        app(kClientBundleIdentifier, "first"), app(kClientBundleIdentifier, "second")};
    const auto found = proxy.isClientRunning();
    ASSERT_TRUE(found);
    EXPECT_EQ(static_cast<FakeRunningApplication*>(found.get())->name(), QStringLiteral("first"));

    platform.running.resize(3);
    EXPECT_FALSE(proxy.isClientRunning());
}

TEST_F(ClientProxyTest, SuccessfulLaunchPausesOneSecondWithoutAlert) {
    platform.launchAnswer = {app(kClientBundleIdentifier, "client"), std::nullopt};
    EXPECT_TRUE(proxy.launchClient(QStringLiteral("/Applications/Quillbay.app")));
    EXPECT_EQ(platform.log.calls(),
              QStringList({"workspace.launch /Applications/Quillbay.app", "sleep 1"}));
    EXPECT_TRUE(platform.alerts.empty());
}

TEST_F(ClientProxyTest, FailedLaunchShowsAlertWithTheErrorNumber) {
    const struct {
        const char* name;
        bool handle;
        std::optional<qint64> error;
        const char* number;
    } cases[] = {{"error only", false, 13, "13"},
                 {"handle and error", true, 2, "2"},
                 {"neither", false, std::nullopt, "0"},
                 {"negative code", false, -10810, "-10810"}};
    for (const auto& c : cases) {
        FakePlatform fresh;
        SystemInfo info(fresh);
        QBYClientProxy freshProxy({fresh, fresh, fresh, fresh, fresh, fresh, info});
        fresh.launchAnswer = {c.handle ? std::make_shared<FakeRunningApplication>(
                                             fresh.log, kClientBundleIdentifier, "c")
                                       : nullptr,
                              c.error};
        EXPECT_FALSE(freshProxy.launchClient(QStringLiteral("/Applications/Quillbay.app")));
        ASSERT_EQ(fresh.alerts.size(), 1u) << c.name;
        const platform::Alert& alert = fresh.alerts.front();
        EXPECT_EQ(alert.messageText, QStringLiteral("The Quillbay app could not be started."));
        EXPECT_EQ(alert.informativeText,
                  QStringLiteral("Please use the Finder to locate the QBY app and then "
                                 "double-click to start it. Contact Technical Support if you "
                                 "continue to have problems.\n\nError ") +
                      QString::fromLatin1(c.number))
            << c.name;
        EXPECT_EQ(alert.buttonTitles, QStringList{QStringLiteral("Quit")});
        EXPECT_EQ(fresh.log.count(QStringLiteral("sleep")), 0) << c.name;
    }
}

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

TEST_F(ClientProxyTest, BringToFrontActivatesAllWindowsAndPausesOnlyWhenAsked) {
    const struct {
        bool accepts, wait;
        QStringList calls;
    } cases[] = {{true, true, {"client.activateWithOptions 3", "usleep 100000"}},
                 {false, true, {"client.activateWithOptions 3", "usleep 100000"}},
                 {true, false, {"client.activateWithOptions 3"}}};
    for (const auto& c : cases) {
        FakePlatform fresh;
        FakeRunningApplication client(fresh.log, kClientBundleIdentifier, "client", c.accepts);
        EXPECT_EQ(bringToFront(&client, c.wait, fresh), c.accepts);
        EXPECT_EQ(fresh.log.calls(), c.calls);
    }
    FakePlatform fresh;
    EXPECT_FALSE(bringToFront(nullptr, true, fresh));
    EXPECT_TRUE(fresh.log.calls().isEmpty());
}

TEST_F(ClientProxyTest, NotifyPostsTheNameOnly) {
    proxy.notifyClient(QStringLiteral("QBY.Helper"));
    EXPECT_EQ(platform.log.calls(), QStringList{"notifications.post QBY.Helper"});
}

TEST(SharedProxy, IsTheRegisteredInstance) {
    FakePlatform platform;
    SystemInfo info(platform);
    QBYClientProxy proxy({platform, platform, platform, platform, platform, platform, info});
    QBYClientProxy::setSharedProxy(&proxy);
    EXPECT_EQ(QBYClientProxy::sharedProxy(), &proxy);
    EXPECT_EQ(QBYClientProxy::sharedProxy(), QBYClientProxy::sharedProxy());
    QBYClientProxy::setSharedProxy(nullptr);
}

}  // namespace
}  // namespace qby
