// The download request from a bundle name and from a request file's bytes, through the host's
// file manager in a private temporary folder (a request file is read and consumed for real).
// The first byte chooses the road: a name from the input with a decoy request file beside it, or
// Game.app with the input as its hidden request file, its plain one, or both.
#include "FuzzInput.h"
#include "app/RequestAssembly.h"
#include "foundation/PathComponents.h"
#include "platform/linux/files/LinuxFileManager.h"

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

using qby::fuzz::require;
using qby::fuzz::visible;

namespace {

class FixedBundle : public qby::platform::Bundle {
public:
    explicit FixedBundle(QString path) : path_(std::move(path)) {}
    QString bundlePath() const override { return path_; }
    std::optional<QString> pathForResource(const QString&, const QString&,
                                           const QString&) const override {
        return std::nullopt;
    }
    QString localizedString(const QString& key, const QString&, const QString&) const override {
        return key;
    }

private:
    QString path_;
};

class CountingLogs : public qby::platform::Logs {
public:
    void syslog(int, const QString&) override {}
    void consoleLog(const QString&) override { ++lines; }
    int lines = 0;
};

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QString describe(const qby::foundation::DownloadRequest& request) {
    return visible(qby::foundation::describeRequest(request));
}

// A name with three or more components carries the request; the decoy beside it stays.
void checkNameRoad(const QString& folder, const QString& name) {
    const QString bundlePath = folder + QLatin1Char('/') + name;
    const QString decoy =
        folder + QStringLiteral("/.%1.txt").arg(qby::foundation::deletingPathExtension(name));
    const bool decoyWritten = writeFile(decoy, "decoy;1");
    qby::platform::linuxhost::LinuxFileManager files;
    CountingLogs logs;
    const qby::foundation::DownloadRequest request =
        qby::app::assembleDownloadRequest(FixedBundle(bundlePath), files, logs);
    const QStringList components = name.split(QLatin1Char('.'));
    if (components.size() >= 3) {
        const QString value = components.size() >= 4 ? components.at(2) : QString();
        require(
            request.size() == 1 && request.value(components.at(1), QStringLiteral("?")) == value,
            "the name's second and third components are the request", describe(request));
        require(logs.lines == 1, "one log line for the name road");
        require(!decoyWritten || files.fileExists(decoy), "the name road leaves the file alone",
                visible(name));
    } else {
        const qby::foundation::DownloadRequest expected =
            decoyWritten ? qby::foundation::DownloadRequest{{"decoy", "1"}}
                         : qby::foundation::DownloadRequest{};
        require(request == expected, "the file beside a short name is the request",
                visible(name) + QStringLiteral(": ") + describe(request));
        require(logs.lines == 0 && !files.fileExists(decoy),
                "the file road logs nothing and "
                "consumes the file",
                visible(name));
    }
    QFile::remove(decoy);
}

// Game.app reads .Game.txt when it exists, else Game.txt, and consumes the file it read.
void checkFileRoad(const QString& folder, const QByteArray& bytes, int layout) {
    const QString hidden = folder + QStringLiteral("/.Game.txt");
    const QString plain = folder + QStringLiteral("/Game.txt");
    const bool withHidden = layout != 1;
    const bool withPlain = layout != 0;
    require(!withHidden || writeFile(hidden, bytes), "the hidden request file is written");
    require(!withPlain || writeFile(plain, withHidden ? QByteArray("plain;1") : bytes),
            "the plain request file is written");
    qby::platform::linuxhost::LinuxFileManager files;
    CountingLogs logs;
    const qby::foundation::DownloadRequest request = qby::app::assembleDownloadRequest(
        FixedBundle(folder + QStringLiteral("/Game.app")), files, logs);
    require(logs.lines == 0, "the file road logs nothing");
    require(!files.fileExists(withHidden ? hidden : plain), "the request file read is consumed");
    require(!withHidden || !withPlain || files.fileExists(plain),
            "the plain file stays when the "
            "hidden one is read");

    // A leading byte-order mark is the file's signature, no part of its text.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        require(request.isEmpty(), "a file that is no UTF-8 gives no request", describe(request));
    } else {
        const QStringList lines = text.split(QLatin1Char('\n'));
        require(!request.isEmpty() && request.size() <= lines.size(), "one entry at most per line",
                describe(request));
        for (auto it = request.cbegin(); it != request.cend(); ++it) {
            require(!it.key().contains(u'\n') && !it.key().contains(u';') &&
                        !it.value().contains(u'\n') && !it.value().contains(u';'),
                    "keys and values hold neither line feed nor ';'", describe(request));
        }
        const QStringList last = lines.last().split(QLatin1Char(';'));
        require(request.value(last.at(0), QStringLiteral("?")) ==
                    (last.size() >= 2 ? last.at(1) : QString()),
                "the last line's value wins", describe(request));
    }
    QFile::remove(hidden);
    QFile::remove(plain);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir folder;
    require(folder.isValid(), "a temporary folder", folder.errorString());
    FuzzedDataProvider input(data, size);
    const int road = input.ConsumeIntegralInRange(0, 3);
    if (road == 3) {
        // A bundle name is one path component: no "/" and no NUL.
        QString name = qby::fuzz::remainingText(input, false);
        name.replace(QLatin1Char('/'), QLatin1Char(':')).replace(QChar(0), QLatin1Char(':'));
        if (!name.isEmpty()) checkNameRoad(folder.path(), name);
    } else {
        const std::string bytes = input.ConsumeRemainingBytesAsString();
        checkFileRoad(folder.path(), QByteArray(bytes.data(), qsizetype(bytes.size())), road);
    }
    return 0;
}
