#include "ReferenceClient.h"

#include "NotificationFiles.h"

namespace qby::harness::storeclient {

ReferenceClient::ReferenceClient(QString home, QString busAddress)
    : home_(std::move(home)), busAddress_(std::move(busAddress)) {
    process_.setProcessEnvironment(environment());
    // The client's own messages go to a file in its home, not into the test's output.
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(home_ + QStringLiteral("/client.log"));
}

ReferenceClient::~ReferenceClient() {
    process_.kill();
    process_.waitForFinished(5000);
}

QString ReferenceClient::executablePath() {
    return QStringLiteral(QBY_STORE_CLIENT_EXECUTABLE);
}

bool ReferenceClient::start() {
    process_.start(executablePath(), {});
    return process_.waitForStarted(5000);
}

QProcessEnvironment ReferenceClient::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_DIRS", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    environment.insert("HOME", home_);
    environment.insert("XDG_DATA_HOME", home_ + "/.local/share");
    environment.insert("XDG_RUNTIME_DIR", home_);
    environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress_);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
}

QString ReferenceClient::dropFolder() const {
    return home_ + "/.local/share/quillbay.com/Notifications";
}

QString ReferenceClient::logPath() const {
    return home_ + "/.local/share/Quillbay/requests.jsonl";
}

QList<QJsonObject> ReferenceClient::log() const {
    return NotificationFiles::readLog(logPath());
}

QMap<QString, QString> recordedRequest(const QJsonObject& line) {
    QMap<QString, QString> request;
    const QJsonObject entries = line.value("request").toObject();
    for (auto entry = entries.begin(); entry != entries.end(); ++entry)
        request.insert(entry.key(), entry.value().toString());
    return request;
}

}  // namespace qby::harness::storeclient
