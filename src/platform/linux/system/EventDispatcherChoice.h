#pragma once

#include <QByteArray>
#include <vector>

namespace qby::platform::linuxhost {

// The downloader's threads run Qt's own event dispatcher rather than glib's. With glib's, a
// download over TLS woke the network thread and the main thread about ten times for every
// record passed between them (370,000 wake-ups for 512 MiB, against 18,000 with Qt's, and a
// tenth more CPU time). Qt reads the choice from QT_NO_GLIB whenever it makes a thread's
// dispatcher; programs the downloader starts do not inherit it.
class EventDispatcherChoice {
public:
    // Before the application object exists, so that the main thread takes it too. A choice the
    // user made (QT_NO_GLIB set already) is left as it is, and passed on.
    static void preferQtDispatcher();

    // Our environment as a program we start should get it: "NAME=value" entries.
    static std::vector<QByteArray> environmentForPrograms();

    // Takes our choice out of the environment for as long as it lives, for a program that Qt
    // starts on our behalf (a browser); the main thread's only.
    class ForPrograms {
    public:
        ForPrograms();
        ~ForPrograms();
        ForPrograms(const ForPrograms&) = delete;
        ForPrograms& operator=(const ForPrograms&) = delete;
    };
};

}  // namespace qby::platform::linuxhost
