// bench_unpack ARCHIVE.tgz [RUNS]: times LinuxArchiveTools' unpack of the archive and `tar -xzf` of
// it, turn about, in the archive's folder, each result removed before the next run; prints the
// median of each and their ratio. Not a test.
#include "platform/linux/archive/LinuxArchiveTools.h"
#include "platform/linux/files/TreeRemover.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using qby::platform::linuxhost::TreeRemover;

// Everything in the folder but the archive goes.
void removeUnpacked(const QDir& folder, const QString& archive) {
    for (const QString& name :
         folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (name != archive) TreeRemover::remove(QFile::encodeName(folder.filePath(name)));
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_unpack ARCHIVE.tgz [RUNS]\n");
        return 2;
    }
    const QFileInfo archive(QString::fromLocal8Bit(argv[1]));
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const QDir folder = archive.absoluteDir();
    removeUnpacked(folder, archive.fileName());

    auto timed = [&](const std::function<bool()>& unpack) {
        QElapsedTimer timer;
        timer.start();
        const bool ok = unpack();
        const double seconds = timer.nsecsElapsed() / 1e9;
        removeUnpacked(folder, archive.fileName());
        if (!ok) std::exit(1);
        return seconds;
    };
    std::vector<double> ours, byHand;
    for (int run = 0; run < runs; ++run) {
        ours.push_back(timed([&] {
            qby::platform::linuxhost::LinuxArchiveTools tools;
            const auto unpacked = tools.unpack(folder.path(), archive.fileName(),
                                               qby::platform::ArchiveFormat::TarGzip);
            if (!unpacked) std::fprintf(stderr, "%s\n", qPrintable(unpacked.error().message));
            return unpacked.ok();
        }));
        byHand.push_back(timed([&] {
            return QProcess::execute("/usr/bin/tar", {"-C", folder.path(), "-xzf",
                                                      archive.absoluteFilePath()}) == 0;
        }));
        std::printf("run %d: unpack %.3f s, tar -xzf %.3f s\n", run + 1, ours.back(),
                    byHand.back());
    }
    std::printf("median of %d: unpack %.3f s, tar -xzf %.3f s, ratio %.2f\n", runs, median(ours),
                median(byHand), median(ours) / median(byHand));
    return 0;
}
