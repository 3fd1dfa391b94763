#include "storeclient/RequestRecorder.h"

#include "storeclient/UserDataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::storeclient {

RequestRecorder::RequestRecorder(QString logPath) : logPath_(std::move(logPath)) {}

QString RequestRecorder::defaultPath() {
    return userDataFolder() + QStringLiteral("/Quillbay/requests.jsonl");
}

bool RequestRecorder::recordRequest(const QString& file, const Request& request) {
    QJsonObject entries;
    for (auto entry = request.cbegin(); entry != request.cend(); ++entry) {
        entries.insert(entry.key(), entry.value());
    }
    return append(
        QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("request"), entries}});
}

bool RequestRecorder::recordFailure(const QString& file, const QString& reason) {
    if (failedFiles_.contains(file)) {
        return true;
    }
    if (!append(QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("error"), reason}})) {
        return false;
    }
    failedFiles_.insert(file);
    return true;
}

bool RequestRecorder::append(const QJsonObject& line) {
    if (!QDir().mkpath(QFileInfo(logPath_).absolutePath())) {
        return false;
    }
    const QByteArray path = QFile::encodeName(logPath_);
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;

    const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    qsizetype written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(fd, text.constData() + written, text.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        written += count;
    }
    bool ok = written == text.size() && ::fsync(fd) == 0;
    if (!ok && sized) {
        // A half-written line would spoil the file for every reader: take it back.
        (void)::ftruncate(fd, before.st_size);
    }
    ::close(fd);
    return ok;
}

}  // namespace qby::storeclient
