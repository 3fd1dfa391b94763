#pragma once

#include "platform/Bundle.h"
#include "platform/Clock.h"

#include <QLocale>
#include <QString>
#include <deque>
#include <optional>

namespace qby::downloader {

// The status line under the download window's progress bar: "12.3 MB of 256 MB — 2.1 MB/s —
// 2 min left". Speed and time left come from the samples of the last few seconds and appear
// once they span at least one second. A new line is offered at most ten times a second. Every
// text is looked up in the "QBYDownloader" table; numbers follow the locale given.
class DownloadProgressText {
public:
    // A new line at most this often.
    static constexpr qint64 kMinimumIntervalMs = 100;
    // How far back the samples for the speed reach.
    static constexpr qint64 kWindowMs = 5000;
    // The shortest span of samples from which a speed is told.
    static constexpr qint64 kMinimumSpanMs = 1000;

    DownloadProgressText(const platform::Bundle& bundle, const platform::Clock& clock,
                         QLocale locale = QLocale());

    // Forgets every sample: a new response starts the count of bytes again.
    void reset();

    // The line for received bytes of total (0 or less: the total is not known), or nothing when
    // the last line was offered less than kMinimumIntervalMs ago.
    std::optional<QString> update(qint64 received, qint64 total);

    // "532 bytes", "12.3 KB", "256 MB", "1.5 GB": decimal units, one decimal below 100.
    QString formatSize(qint64 bytes) const;
    // "45 s", "3 min", "1 h 5 min"; minutes and hours rounded up.
    QString formatDuration(qint64 seconds) const;

private:
    struct Sample {
        qint64 timeMs;
        qint64 bytes;
    };

    QString localized(const QString& key) const;
    // Bytes a second over the samples, or nothing while they span less than kMinimumSpanMs.
    std::optional<double> bytesPerSecond() const;

    const platform::Bundle& bundle_;
    const platform::Clock& clock_;
    QLocale locale_;
    std::deque<Sample> samples_;
    std::optional<qint64> lastOfferedMs_;
};

}  // namespace qby::downloader
