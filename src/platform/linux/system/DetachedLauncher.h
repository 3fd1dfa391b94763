#pragma once

#include <QByteArray>

namespace qby::platform::linuxhost {

// Starts a program detached from us: a double fork with setsid, so it is never our child and
// outlives us; no arguments, our environment (less what is ours alone: EventDispatcherChoice),
// standard input from /dev/null, signal mask and handlers reset. The exec's error comes back
// through a close-on-exec pipe.
class DetachedLauncher {
public:
    // 0 once the program runs, else the errno of the failed step (ENOENT for a missing file,
    // EACCES for one that may not be executed, ENOEXEC for one that is no program).
    static int launch(const QByteArray& executable, const QByteArray& workingFolder);
};

}  // namespace qby::platform::linuxhost
