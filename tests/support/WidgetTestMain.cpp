#include <QApplication>
#include <gtest/gtest.h>

// Widgets and D-Bus connections want an application object before them; test discovery runs
// without the test environment, so the platform is set here too.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
