#include <gtest/gtest.h>

#include <QApplication>

// D-Bus connections want an application object before them, and the downloader's services
// (alerts among them) want a widget application.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
