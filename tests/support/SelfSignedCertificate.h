#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace qby::testsupport {

// Makes a P-256 key and a certificate signed by it, valid for a day, with that common name and
// its alternative names ("DNS:a.example,IP:127.0.0.1") as an extension unless empty; false when
// openssl failed.
inline bool makeSelfSignedCertificate(const QString& keyPath, const QString& certificatePath,
                                      const QString& commonName, const QString& alternativeNames) {
    QStringList arguments = QStringLiteral(
                                "req -x509 -newkey ec -pkeyopt "
                                "ec_paramgen_curve:prime256v1 -nodes -days 1")
                                .split(u' ');
    arguments << "-subj"
              << "/CN=" + commonName << "-keyout" << keyPath << "-out" << certificatePath;
    if (!alternativeNames.isEmpty())
        arguments << "-addext"
                  << "subjectAltName=" + alternativeNames;
    return QProcess::execute("openssl", arguments) == 0;
}

}  // namespace qby::testsupport
