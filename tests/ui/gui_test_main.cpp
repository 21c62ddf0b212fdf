// Shared main for widget tests: offscreen when there is no display, fixed DPI, one QApplication.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    const bool noDisplay =
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (noDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Pixel maths in the tests assume 96 DPI fonts and no scaling unless a run asks for it.
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI")) qputenv("QT_FONT_DPI", "96");
    if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR")) qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");

    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
