// Tests that draw or show widgets need a Qt application (fonts, paint system, widgets); they
// run it on the offscreen platform. Programs with widgets build this with
// KARTOPLOT_TEST_WIDGETS defined.
#ifdef KARTOPLOT_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
