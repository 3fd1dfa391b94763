#pragma once

#include "platform/DownloadWindow.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QAbstractButton;
class QLabel;
class QMessageBox;
class QProgressBar;
class QWidget;

namespace qby::platform::linuxhost {

// The download window loaded from its interface file: the window widget, its progress bar, the
// status line under it and its cancel button. Owns the window widget. Escape, like closing the
// window, presses the cancel button.
class LinuxDownloadWindow : public QObject, public DownloadWindow {
    Q_OBJECT

public:
    LinuxDownloadWindow(std::unique_ptr<QWidget> window, QProgressBar* bar, QLabel* status,
                        QAbstractButton* cancel);
    ~LinuxDownloadWindow() override;

    void center() override;
    void makeKeyAndOrderFront() override;
    void setProgress(double percent) override;
    void setIndeterminate(bool indeterminate) override;
    void setStatusText(const QString& text) override;
    void displayIfNeeded() override;
    void setCancelAction(std::function<void()> action) override;
    void beginSheet(const Alert& alert, std::function<void()> didEnd) override;

    QWidget* widget() const { return window_.get(); }
    QProgressBar* progressBar() const { return bar_; }
    QLabel* statusLabel() const { return status_; }
    QAbstractButton* cancelButton() const { return cancel_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cancelUnlessSheetIsUp();

    std::unique_ptr<QWidget> window_;
    QProgressBar* bar_;
    QLabel* status_;
    QAbstractButton* cancel_;
    std::function<void()> cancelAction_;
    QPointer<QMessageBox> sheet_;
};

}  // namespace qby::platform::linuxhost
