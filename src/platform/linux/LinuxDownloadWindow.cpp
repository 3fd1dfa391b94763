#include "LinuxDownloadWindow.h"

#include "AlertMessageBox.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace qby::platform::linuxhost {

LinuxDownloadWindow::LinuxDownloadWindow(std::unique_ptr<QWidget> window, QProgressBar* bar,
                                         QAbstractButton* cancel)
    : window_(std::move(window)), bar_(bar), cancel_(cancel) {
    connect(cancel_, &QAbstractButton::clicked, this, [this] {
        if (cancelAction_) {
            cancelAction_();
        }
    });
    window_->installEventFilter(this);
}

LinuxDownloadWindow::~LinuxDownloadWindow() {
    window_->removeEventFilter(this);
}

void LinuxDownloadWindow::center() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    window_->adjustSize();
    QRect frame = window_->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window_->move(frame.topLeft());
}

void LinuxDownloadWindow::makeKeyAndOrderFront() {
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void LinuxDownloadWindow::setProgress(double percent) {
    // The bar ignores values outside its range; draw those at the nearer end instead.
    if (!std::isfinite(percent)) {
        percent = 0.0;
    }
    percent = std::clamp(percent, 0.0, 100.0);
    bar_->setValue(static_cast<int>(percent));
}

void LinuxDownloadWindow::setCancelAction(std::function<void()> action) {
    cancelAction_ = std::move(action);
}

void LinuxDownloadWindow::beginSheet(const Alert& alert, std::function<void()> didEnd) {
    auto* sheet = new QMessageBox(window_.get());
    AlertMessageBox::fill(*sheet, alert, window_->windowTitle());
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QMessageBox::finished, this, [didEnd = std::move(didEnd)] {
        if (didEnd) {
            didEnd();
        }
    });
    sheet_ = sheet;
    sheet->open();
}

bool LinuxDownloadWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_.get() && event->type() == QEvent::Close) {
        // Closing the window is cancelling the download; while a sheet is up, only the sheet
        // decides how things end.
        event->ignore();
        if (!sheet_ && cancel_->isEnabled()) {
            cancel_->click();
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qby::platform::linuxhost
