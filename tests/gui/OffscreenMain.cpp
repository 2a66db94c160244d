// The main of the window suites that need nothing but a QApplication: windows
// are tested offscreen on a desktop's screen (also when the build lists the
// tests) in the C locale.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

#include "tests/gui/OffscreenScreen.h"

int main(int argc, char** argv) {
    zorvel::test::useOffscreenScreen();
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
