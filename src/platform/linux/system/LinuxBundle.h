#pragma once

#include "platform/Bundle.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace qby::platform::linuxhost {

// The running application's bundle: the nearest folder named *.app above the executable
// (Name.app/Contents/MacOS/exe). Resources lie in Contents/Resources; translations are the
// Qt message files Contents/Resources/translations/QBYDownloader_<language>.qm, the table name
// being the translation context.
class LinuxBundle : public Bundle {
public:
    explicit LinuxBundle(const QString& executablePath = QCoreApplication::applicationFilePath(),
                         const QLocale& locale = QLocale::system());

    // When no folder above the executable is a *.app bundle: the executable's own folder.
    QString bundlePath() const override;
    std::optional<QString> pathForResource(const QString& name, const QString& type,
                                           const QString& directory) const override;
    QString localizedString(const QString& key, const QString& value,
                            const QString& table) const override;

    // The loaded translations, for installing on the application (interface file texts).
    QTranslator* translator() { return &translator_; }

private:
    QString bundlePath_;
    QTranslator translator_;
};

}  // namespace qby::platform::linuxhost
