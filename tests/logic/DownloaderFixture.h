#pragma once

#include "FakeInstallServices.h"
#include "FakePlatform.h"
#include "downloader/QBYClientDownloader.h"

#include <QVariantMap>
#include <gtest/gtest.h>

namespace qby::testing {

// Call lists as one line a call, so that failures print them readably (a PrintTo for QString
// here would clash with the byte printers that other test files instantiate).
inline std::string joined(const QStringList& lines) {
    return lines.join(QLatin1Char('\n')).toStdString();
}

inline const QString kFeedUrl = QStringLiteral("https://www.quillbay.com/downloader/appcast.xml");
inline const QString kDestination = QStringLiteral("/Applications/Quillbay.app");
// pathForTemporaryFileWithPrefix with the fake's first UUID.
inline const QString kWorkFolder = QStringLiteral("/tmp/QBYDownloader-UUID1");

// A release entry of the feed.
inline QVariantMap release(const QString& minimum, const QString& url = {},
                           const QVariant& size = {}, const QVariant& cpuTypes = {}) {
    QVariantMap entry{{"minimumSystemVersion", minimum}};
    if (!url.isNull()) entry.insert("url", url);
    if (size.isValid()) entry.insert("downloadSizeInBytes", size);
    if (cpuTypes.isValid()) entry.insert("supportedCPUTypes", cpuTypes);
    return entry;
}

// One QBYClientDownloader on the fake platform: macOS 12.0.0 on a non-Yonah processor, an
// empty /tmp and /Applications, a client that launches.
class DownloaderFixture {
public:
    DownloaderFixture()
        : systemInfo(platform),
          proxy({platform, platform, platform, platform, platform, platform, systemInfo, platform}),
          downloader(services()) {
        platform.addFolder(QStringLiteral("/tmp"));
        platform.addFolder(QStringLiteral("/Applications"));
        install.desktopEntryResult = foundation::Status();
        platform.launchAnswers(std::make_shared<fake::FakeRunningApplication>(
            platform.log, QStringLiteral("com.quillbay.Client2"), QStringLiteral("client")));
        downloader.awakeFromNib();
    }

    downloader::DownloaderServices services() {
        return {platform.window, platform, platform,           platform,   platform, platform,
                platform,        platform, install.services(), systemInfo, proxy,    handOff};
    }

    void setSystem(qint64 major, qint64 minor, qint64 patch, qint32 cpuFamily = 0x12345678) {
        platform.osVersion = foundation::OperatingSystemVersion{major, minor, patch};
        platform.kernelValues["hw.cpufamily"] = QByteArray(reinterpret_cast<char*>(&cpuFamily), 4);
    }

    // The chosen release's download is running into the work folder under fileName.
    void startRelease(const QString& fileName = "Quillbay.tgz", qint64 sizeInBytes = 0) {
        downloader.doDownload(
            {release("10.6", "https://cdn.quillbay.com/c/" + fileName, sizeInBytes)});
        ASSERT_NE(downloader.clientDownload(), nullptr) << calls();
    }

    // Response and chunks as the URL download reports them.
    void respond(qint64 expectedLength) {
        downloader.downloadDidReceiveResponse({expectedLength, 200, QStringLiteral("x")});
    }
    void receive(quint64 length) { downloader.downloadDidReceiveDataOfLength(length); }

    qsizetype count(const QString& prefix) const { return platform.log.count(prefix); }
    // The calls from the first that starts with prefix on.
    QStringList callsFrom(const QString& prefix) const {
        const qsizetype first = platform.log.indexOf(prefix);
        return first < 0 ? QStringList() : platform.log.calls().mid(first);
    }
    std::string calls() const { return platform.log.toString().toStdString(); }
    // The alert of the one sheet shown, after checking that dismissing it ends the application.
    const platform::Alert& onlySheet() {
        EXPECT_EQ(count(QStringLiteral("window.beginSheet")), 1) << calls();
        const qsizetype before = count(QStringLiteral("application.terminate"));
        if (platform.window.sheetDidEnd) platform.window.sheetDidEnd();
        EXPECT_EQ(count(QStringLiteral("application.terminate")), before + 1);
        return platform.window.sheetAlert;
    }

    fake::FakePlatform platform;
    fake::FakeInstallServices install{platform};
    foundation::SystemInfo systemInfo;
    client::QBYClientProxy proxy;
    client::HandOffFlag handOff;
    downloader::QBYClientDownloader downloader;
};

}  // namespace qby::testing
