#include "CoreApplication.h"

#include <QCoreApplication>

namespace qby::testsupport {

void ensureCoreApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "platform_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

}  // namespace qby::testsupport
