#include "ScopedEnvironment.h"

#include <QtGlobal>

namespace qby::testsupport {

ScopedEnvironment::~ScopedEnvironment() {
    for (auto it = saved_.crbegin(); it != saved_.crend(); ++it) {
        if (it->wasSet) {
            qputenv(it->name, it->value);
        } else {
            qunsetenv(it->name);
        }
    }
}

void ScopedEnvironment::set(const char* name, const QByteArray& value) {
    saved_.append({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
    qputenv(name, value);
}

}  // namespace qby::testsupport
