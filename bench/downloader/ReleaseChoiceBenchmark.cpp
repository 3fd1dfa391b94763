#include "downloader/ReleaseSelection.h"
#include "platform/linux/plist/LibPlistPropertyLists.h"

#include <QVariantMap>
#include <benchmark/benchmark.h>
#include <random>

namespace {

// A release feed of count entries with realistic minimum versions (some of them the texts on
// which the comparator is inconsistent), urls, sizes and processor types.
QByteArray makeFeed(int count, bool allDistinct = false) {
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> major(10, 14);
    std::uniform_int_distribution<int> small(0, 15);
    std::uniform_int_distribution<int> shape(0, 9);
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD "
        "PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist "
        "version=\"1.0\">\n<dict>\n<key>downloader</key>\n<array>\n";
    for (int i = 0; i < count; ++i) {
        QByteArray version;
        switch (allDistinct ? -1 : shape(random)) {
            case -1:
                version = "10." + QByteArray::number(i / 100) + "." + QByteArray::number(i % 100);
                break;
            case 0:
                version = "-";
                break;
            case 1:
                version = " x";
                break;
            case 2:
                version = QByteArray::number(major(random)) + "." +
                          QByteArray::number(small(random)) + "b" +
                          QByteArray::number(small(random));
                break;
            default:
                version = QByteArray::number(major(random)) + "." +
                          QByteArray::number(small(random)) + "." +
                          QByteArray::number(small(random));
        }
        xml += "<dict><key>minimumSystemVersion</key><string>" + version +
               "</string><key>url</key><string>https://cdn.quillbay.com/releases/" +
               QByteArray::number(i) +
               "/Quillbay.tgz</string><key>downloadSizeInBytes</key><integer>" +
               QByteArray::number(200000000 + i) +
               "</integer><key>supportedCPUTypes</key><string>i386 x86_64</string></dict>\n";
    }
    xml += "</array>\n</dict>\n</plist>\n";
    return xml;
}

// Parse, then choose, as the feed fetch task and doDownload do on a 13.0.0 system.
void BM_ParseAndChooseRelease(benchmark::State& state) {
    const QByteArray feed = makeFeed(int(state.range(0)));
    const qby::platform::linuxhost::LibPlistPropertyLists propertyLists;
    const qby::foundation::VersionComparator& comparator =
        qby::foundation::VersionComparator::defaultComparator();
    for (auto _ : state) {
        const qby::foundation::Result<QVariant> root = propertyLists.parse(feed);
        const QVariantList entries =
            root.value().toMap().value(QStringLiteral("downloader")).toList();
        const std::optional<qby::downloader::ReleaseEntry> chosen = qby::downloader::chooseRelease(
            qby::downloader::readReleaseEntries(entries), QStringLiteral("13.0.0"),
            qby::downloader::kCpuFamilyIntelYonah, comparator);
        benchmark::DoNotOptimize(chosen);
    }
    state.counters["feed_bytes"] = double(feed.size());
}

BENCHMARK(BM_ParseAndChooseRelease)->Arg(10000)->Unit(benchmark::kMillisecond);

// The choice alone, from parsed entries, on a system of that version.
void timeChoice(benchmark::State& state, bool allDistinct, const QString& systemVersion) {
    const qby::platform::linuxhost::LibPlistPropertyLists propertyLists;
    const QVariantList entries = propertyLists.parse(makeFeed(int(state.range(0)), allDistinct))
                                     .value()
                                     .toMap()
                                     .value(QStringLiteral("downloader"))
                                     .toList();
    const qby::foundation::VersionComparator& comparator =
        qby::foundation::VersionComparator::defaultComparator();
    for (auto _ : state) {
        benchmark::DoNotOptimize(qby::downloader::chooseRelease(
            qby::downloader::readReleaseEntries(entries), systemVersion,
            qby::downloader::kCpuFamilyIntelYonah, comparator));
    }
}

void BM_ChooseRelease(benchmark::State& state) {
    timeChoice(state, false, QStringLiteral("13.0.0"));
}

BENCHMARK(BM_ChooseRelease)->Arg(10000)->Unit(benchmark::kMillisecond);

// The choice when no two entries share a version: the sort's worst case.
void BM_ChooseReleaseAllVersionsDistinct(benchmark::State& state) {
    timeChoice(state, true, QStringLiteral("10.50.0"));
}

BENCHMARK(BM_ChooseReleaseAllVersionsDistinct)->Arg(10000)->Unit(benchmark::kMillisecond);

// The property-list reader alone (the Linux host's, through libplist), for scale.
void BM_ParseFeedOnly(benchmark::State& state) {
    const QByteArray feed = makeFeed(int(state.range(0)));
    const qby::platform::linuxhost::LibPlistPropertyLists propertyLists;
    for (auto _ : state) benchmark::DoNotOptimize(propertyLists.parse(feed));
}

BENCHMARK(BM_ParseFeedOnly)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
