#include "platform/linux/system/EventDispatcherChoice.h"

#include <atomic>
#include <cstdlib>

extern char** environ;

namespace qby::platform::linuxhost {

namespace {

constexpr char kVariable[] = "QT_NO_GLIB";
// Set by us rather than by the user: then ours alone, not to be passed on.
std::atomic<bool> chosenHere{false};

}  // namespace

void EventDispatcherChoice::preferQtDispatcher() {
    if (std::getenv(kVariable) != nullptr) return;
    if (::setenv(kVariable, "1", 0) == 0) chosenHere = true;
}

std::vector<QByteArray> EventDispatcherChoice::environmentForPrograms() {
    const QByteArray ours = QByteArray(kVariable) + '=';
    std::vector<QByteArray> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const QByteArray text(*entry);
        if (!(chosenHere && text.startsWith(ours))) entries.push_back(text);
    }
    return entries;
}

EventDispatcherChoice::ForPrograms::ForPrograms() {
    if (chosenHere) ::unsetenv(kVariable);
}

EventDispatcherChoice::ForPrograms::~ForPrograms() {
    if (chosenHere) ::setenv(kVariable, "1", 1);
}

}  // namespace qby::platform::linuxhost
