#include "AlertMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

namespace qby::platform::linuxhost {

void AlertMessageBox::fill(QMessageBox& box, const Alert& alert, const QString& title) {
    box.setWindowTitle(title);
    box.setText(alert.messageText);
    box.setInformativeText(alert.informativeText);
    box.setTextFormat(Qt::PlainText);
    // Like the platform's default alert: the application's own icon, else the information sign.
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) {
        box.setIconPixmap(icon.pixmap(64, 64));
    } else {
        box.setIcon(QMessageBox::Information);
    }

    QStringList titles = alert.buttonTitles;
    if (titles.isEmpty()) {
        titles.append(QStringLiteral("OK"));
    }
    QPushButton* first = nullptr;
    QPushButton* last = nullptr;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        QPushButton* button =
            box.addButton(literalButtonText(titles.at(i)),
                          i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
        // The order added is the answer's index, whatever order the style lays them out in.
        button->setProperty("qbyButtonIndex", static_cast<int>(i));
        if (!first) {
            first = button;
        }
        last = button;
    }
    box.setDefaultButton(first);
    box.setEscapeButton(last);

    // The message reads as the alert's headline, the details below it.
    box.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { font-weight: bold; }"));
    // Wide enough for the window title, which window managers otherwise cut short.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int titleWidth = QFontMetrics(box.font()).horizontalAdvance(title) + 160;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

int AlertMessageBox::response(const QMessageBox& box) {
    QAbstractButton* pressed = box.clickedButton();
    if (!pressed) {
        pressed = box.escapeButton();
    }
    const QVariant index = pressed ? pressed->property("qbyButtonIndex") : QVariant();
    return kAlertFirstButtonReturn + (index.isValid() ? index.toInt() : 0);
}

QString AlertMessageBox::literalButtonText(const QString& title) {
    QString text = title;
    text.replace(u'&', QStringLiteral("&&"));
    return text;
}

}  // namespace qby::platform::linuxhost
