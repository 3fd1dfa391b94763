#pragma once

#include <QString>
#include <QStringList>

namespace qby::platform {

// A modal alert as the user sees it: texts already localized, buttons in the order added.
// The first button answers 1000, the second 1001, and so on.
struct Alert {
    QString messageText;
    QString informativeText;
    QStringList buttonTitles;
};

inline constexpr int kAlertFirstButtonReturn = 1000;
inline constexpr int kAlertSecondButtonReturn = 1001;

}  // namespace qby::platform
