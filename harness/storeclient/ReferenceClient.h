#pragma once

#include "WaitUntil.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>

namespace qby::harness::storeclient {

// The tests and the benchmark that drive the client poll with it.
using harness::waitUntil;

// The assembled reference client run as a process for one test: its own home folder, the
// given session bus, the offscreen platform. Killed and reaped on destruction.
class ReferenceClient {
public:
    ReferenceClient(QString home, QString busAddress);
    ~ReferenceClient();
    ReferenceClient(const ReferenceClient&) = delete;
    ReferenceClient& operator=(const ReferenceClient&) = delete;

    // Contents/MacOS/Quillbay inside the built Quillbay.app.
    static QString executablePath();

    // Starts another instance; true once it runs.
    bool start();

    // The environment each instance gets.
    QProcessEnvironment environment() const;

    QProcess& process() { return process_; }

    // What the instances of this home read and write.
    QString dropFolder() const;
    QString logPath() const;
    QList<QJsonObject> log() const;

private:
    QString home_;
    QString busAddress_;
    QProcess process_;
};

// The request of one line of the client's log, as keys and values.
QMap<QString, QString> recordedRequest(const QJsonObject& line);

}  // namespace qby::harness::storeclient
