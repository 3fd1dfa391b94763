#include <gtest/gtest.h>

#include <QCoreApplication>

// D-Bus connections want an application object to exist before them.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
