#pragma once

#include <QByteArray>
#include <QProcessEnvironment>

namespace qby::platform::linuxhost {

// Which of Qt's platform plugins this session's display takes, chosen before the application
// starts: Qt itself would try a plugin for a display that is not there and abort.
struct DisplayPlatform {
    enum class Choice {
        Users,    // QT_QPA_PLATFORM names one: left to Qt
        Wayland,  // a Wayland compositor answers on WAYLAND_DISPLAY
        X11,      // an X server answers on DISPLAY (XWayland included)
        None,     // nothing to show a window on
    };

    // Wayland where its compositor answers (native windows, no XWayland needed), else X11.
    static Choice choose(const QProcessEnvironment& environment);
    // The plugin's name for Qt's -platform argument; empty for Users and None.
    static QByteArray pluginName(Choice choice);
    // The line for standard error when there is no display.
    static const char* noDisplayMessage();
};

}  // namespace qby::platform::linuxhost
