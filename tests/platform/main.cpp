#include <QCoreApplication>
#include <gtest/gtest.h>

// Signal delivery and event processing need an application object.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
