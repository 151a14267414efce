#include <gtest/gtest.h>

#include <QCoreApplication>

// Tests of Qt code need an application object for event loops and the serial port's notifiers.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
