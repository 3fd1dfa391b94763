#include "LinuxInterfaceLoader.h"

#include "LinuxDownloadWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QUiLoader>
#include <QWidget>

namespace qby::platform::linuxhost {

namespace {

// A real interface file is a few kilobytes; anything far larger is not one of ours.
constexpr qint64 kMaxInterfaceFileBytes = 4 * 1024 * 1024;

}  // namespace

LinuxInterfaceLoader::LinuxInterfaceLoader(QString resourcesPath)
    : resourcesPath_(std::move(resourcesPath)) {}

LinuxInterfaceLoader::~LinuxInterfaceLoader() = default;

DownloadWindow* LinuxInterfaceLoader::loadDownloadWindow(const QString& name) {
    // Widgets need a widget application; a name, not a path, keeps loading inside the resources.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || name.isEmpty() ||
        name.contains(u'/') || name == u"." || name == u"..") {
        return nullptr;
    }
    const QString path = QDir(resourcesPath_).filePath(name + QStringLiteral(".ui"));
    // Only a regular file: a device or pipe in its place would never end.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxInterfaceFileBytes) {
        return nullptr;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    QUiLoader loader;
    std::unique_ptr<QWidget> window(loader.load(&file));
    if (!window) {
        return nullptr;
    }
    auto* bar = window->findChild<QProgressBar*>(QStringLiteral("mBar"));
    auto* status = window->findChild<QLabel*>(QStringLiteral("statusLabel"));
    auto* cancel = window->findChild<QAbstractButton*>(QStringLiteral("cancelButton"));
    if (!bar || !status || !cancel) {
        return nullptr;
    }
    windows_.push_back(
        std::make_unique<LinuxDownloadWindow>(std::move(window), bar, status, cancel));
    return windows_.back().get();
}

}  // namespace qby::platform::linuxhost
