#include "foundation/VersionComparator.h"

#include <QStringList>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <random>
#include <vector>

namespace {

// A realistic mix of version texts: plain numbers, pre-release letters, spelled-out stages.
std::vector<QString> makeVersions(size_t count) {
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> major(1, 15);
    std::uniform_int_distribution<int> small(0, 20);
    std::uniform_int_distribution<int> shape(0, 7);
    const char* stages[] = {"a", "b", "rc", " beta", " alpha", "d"};
    std::uniform_int_distribution<int> stage(0, 5);
    std::vector<QString> versions;
    versions.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        QString v = QString::number(major(random));
        switch (shape(random)) {
            case 0:
                v += QStringLiteral(".%1").arg(small(random));
                break;
            case 1:
            case 2:
                v += QStringLiteral(".%1.%2").arg(small(random)).arg(small(random));
                break;
            case 3:
                v += QStringLiteral(".%1%2%3")
                         .arg(small(random))
                         .arg(QLatin1String(stages[stage(random)]))
                         .arg(small(random) + 1);
                break;
            case 4:
                v += QStringLiteral(".%1%2")
                         .arg(small(random))
                         .arg(QLatin1String(stages[stage(random)]));
                break;
            case 5:
                v += QStringLiteral(".%1.%2rc%3")
                         .arg(small(random))
                         .arg(small(random))
                         .arg(small(random));
                break;
            case 6:
                v += QStringLiteral(".%1.%2.%3")
                         .arg(small(random))
                         .arg(small(random))
                         .arg(small(random) * 100);
                break;
            default:
                break;
        }
        versions.push_back(v);
    }
    return versions;
}

void BM_StableSortVersions(benchmark::State& state) {
    const std::vector<QString> source = makeVersions(static_cast<size_t>(state.range(0)));
    const qby::foundation::VersionComparator& comparator =
        qby::foundation::VersionComparator::defaultComparator();
    for (auto _ : state) {
        std::vector<QString> versions = source;
        std::stable_sort(versions.begin(), versions.end(),
                         [&comparator](const QString& a, const QString& b) {
                             return comparator.compareVersion(a, b) < 0;
                         });
        benchmark::DoNotOptimize(versions.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_StableSortVersions)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_CompareMegabyteVersions(benchmark::State& state) {
    QString dotted;
    for (int i = 0; i < (1 << 19); ++i) {
        dotted.append(QStringLiteral("1."));
    }
    const QString spaced = QStringLiteral("a") + QString(1 << 20, u' ');
    const qby::foundation::VersionComparator& comparator =
        qby::foundation::VersionComparator::defaultComparator();
    for (auto _ : state) {
        benchmark::DoNotOptimize(comparator.compareVersion(spaced, dotted));
    }
}

BENCHMARK(BM_CompareMegabyteVersions)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
