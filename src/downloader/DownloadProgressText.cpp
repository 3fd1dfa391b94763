#include "downloader/DownloadProgressText.h"

#include <cmath>

namespace qby::downloader {
namespace {

const QString kLocalizationTable = QStringLiteral("QBYDownloader");

}  // namespace

DownloadProgressText::DownloadProgressText(const platform::Bundle& bundle,
                                           const platform::Clock& clock, QLocale locale)
    : bundle_(bundle), clock_(clock), locale_(std::move(locale)) {}

void DownloadProgressText::reset() {
    samples_.clear();
    lastOfferedMs_.reset();
}

std::optional<QString> DownloadProgressText::update(qint64 received, qint64 total) {
    const qint64 now = clock_.monotonicMilliseconds();
    if (lastOfferedMs_ && now - *lastOfferedMs_ < kMinimumIntervalMs) return std::nullopt;
    lastOfferedMs_ = now;

    // Samples are taken only when a line is offered: at most one per kMinimumIntervalMs.
    samples_.push_back({now, received});
    while (samples_.size() > 2 && now - samples_[1].timeMs >= kWindowMs) samples_.pop_front();

    QString line =
        total > 0
            ? localized(QStringLiteral("%1 of %2")).arg(formatSize(received), formatSize(total))
            : localized(QStringLiteral("%1 received")).arg(formatSize(received));
    const std::optional<double> speed = bytesPerSecond();
    if (!speed) return line;
    const QString join = localized(QStringLiteral("%1 — %2"));
    line = join.arg(line, localized(QStringLiteral("%1/s")).arg(formatSize(qint64(*speed))));
    if (total > 0 && received < total && *speed >= 1.0) {
        const double seconds = std::ceil(double(total - received) / *speed);
        line = join.arg(line, localized(QStringLiteral("%1 left"))
                                  .arg(formatDuration(qint64(std::min(seconds, 1e12)))));
    }
    return line;
}

std::optional<double> DownloadProgressText::bytesPerSecond() const {
    if (samples_.size() < 2) return std::nullopt;
    const Sample& first = samples_.front();
    const Sample& last = samples_.back();
    const qint64 span = last.timeMs - first.timeMs;
    if (span < kMinimumSpanMs) return std::nullopt;
    return std::max(0.0, double(last.bytes - first.bytes) * 1000.0 / double(span));
}

QString DownloadProgressText::formatSize(qint64 bytes) const {
    if (bytes < 1000) return localized(QStringLiteral("%1 bytes")).arg(locale_.toString(bytes));
    static const char* const units[] = {"%1 KB", "%1 MB", "%1 GB"};
    double value = double(bytes) / 1000.0;
    int unit = 0;
    while (unit < 2 && value >= 1000.0) {
        value /= 1000.0;
        ++unit;
    }
    const int decimals = value < 100.0 ? 1 : 0;
    return localized(QString::fromLatin1(units[unit])).arg(locale_.toString(value, 'f', decimals));
}

QString DownloadProgressText::formatDuration(qint64 seconds) const {
    if (seconds < 60) return localized(QStringLiteral("%1 s")).arg(locale_.toString(seconds));
    const qint64 minutes = (seconds + 59) / 60;
    if (minutes < 60) return localized(QStringLiteral("%1 min")).arg(locale_.toString(minutes));
    return localized(QStringLiteral("%1 h %2 min"))
        .arg(locale_.toString(minutes / 60), locale_.toString(minutes % 60));
}

QString DownloadProgressText::localized(const QString& key) const {
    return bundle_.localizedString(key, QString(""), kLocalizationTable);
}

}  // namespace qby::downloader
