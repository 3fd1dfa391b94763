#pragma once

#include "platform/Alert.h"

#include <QString>

class QMessageBox;

namespace qby::platform::linuxhost {

// Turns an Alert into a QMessageBox and the pressed button back into 1000 plus its index.
class AlertMessageBox {
public:
    // Fills box with the alert's texts and one push button per title, in order; the first button
    // is the default. An alert without titles gets a single "OK" button, as every alert has one.
    static void fill(QMessageBox& box, const Alert& alert, const QString& title);

    // 1000 plus the index of the pressed button. When the box was closed without a button, the
    // answer is that of the escape button (the last one), which closing stands for.
    static int response(const QMessageBox& box);

    // Button titles are shown literally: "&" is no keyboard-shortcut marker.
    static QString literalButtonText(const QString& title);
};

}  // namespace qby::platform::linuxhost
