#include "LinuxInterfaceLoader.h"

#include "LinuxDownloadWindow.h"
#include "ui_ClientDownloader.h"

#include <QApplication>
#include <QDialog>

namespace qby::platform::linuxhost {

LinuxInterfaceLoader::LinuxInterfaceLoader() = default;

LinuxInterfaceLoader::~LinuxInterfaceLoader() = default;

DownloadWindow* LinuxInterfaceLoader::loadDownloadWindow(const QString& name) {
    // Widgets need a widget application.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) ||
        name != QStringLiteral("ClientDownloader")) {
        return nullptr;
    }
    auto window = std::make_unique<QDialog>();
    Ui::ClientDownloader ui;
    ui.setupUi(window.get());
    windows_.push_back(std::make_unique<LinuxDownloadWindow>(std::move(window), ui.mBar,
                                                             ui.statusLabel, ui.cancelButton));
    return windows_.back().get();
}

}  // namespace qby::platform::linuxhost
