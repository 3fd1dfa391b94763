#include "ModalPresser.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <memory>

namespace qby::testing {

QString shownText(const QString& buttonText) {
    QString text = buttonText;
    text.replace(QStringLiteral("&&"), QStringLiteral("&"));
    return text;
}

void pressWhenShown(const QString& title, std::function<void(QMessageBox&)> inspect) {
    auto* timer = new QTimer(qApp);
    auto attempts = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        if (++*attempts > 500) {
            timer->deleteLater();
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (inspect) {
            inspect(*box);
        }
        if (title.isEmpty()) {
            box->close();
            return;
        }
        for (QAbstractButton* button : box->buttons()) {
            if (shownText(button->text()) == title) {
                button->click();
                return;
            }
        }
        ADD_FAILURE() << "no button titled " << title.toStdString();
        box->close();
    });
    timer->start();
}

}  // namespace qby::testing
