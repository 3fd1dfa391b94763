#include "LinuxDownloadWindow.h"

#include "AlertMessageBox.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace qby::platform::linuxhost {

LinuxDownloadWindow::LinuxDownloadWindow(std::unique_ptr<QWidget> window, QProgressBar* bar,
                                         QLabel* status, QAbstractButton* cancel)
    : window_(std::move(window)), bar_(bar), status_(status), cancel_(cancel) {
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

void LinuxDownloadWindow::setIndeterminate(bool indeterminate) {
    // A range of 0 to 0 is the bar's busy state.
    bar_->setRange(0, indeterminate ? 0 : 100);
}

void LinuxDownloadWindow::setStatusText(const QString& text) {
    status_->setText(text);
}

void LinuxDownloadWindow::displayIfNeeded() {
    // Only the pending layout of changed texts and the painting; no input is handled here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    window_->repaint();
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

void LinuxDownloadWindow::cancelUnlessSheetIsUp() {
    // While a sheet is up, only the sheet decides how things end.
    if (!sheet_ && cancel_->isEnabled()) {
        cancel_->click();
    }
}

bool LinuxDownloadWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_.get()) {
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Close) {
        // Closing the window is cancelling the download.
        event->ignore();
        cancelUnlessSheetIsUp();
        return true;
    }
    // Key presses the focused control leaves alone reach the window; a dialog would otherwise
    // take Escape as "hide".
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        cancelUnlessSheetIsUp();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qby::platform::linuxhost
