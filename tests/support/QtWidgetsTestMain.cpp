#include <gtest/gtest.h>

#include <QApplication>

#include "qt/MenuBarStyle.h"

// Window tests run on the offscreen platform unless a display is asked for.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(new meridial::MenuBarStyle);
    return RUN_ALL_TESTS();
}
