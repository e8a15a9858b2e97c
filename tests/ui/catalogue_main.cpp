#include <QApplication>

#include <gtest/gtest.h>

// The Qt Widgets tests share one program; they need a QApplication before
// any widget exists. Weak, so a main from another test file takes its place.
__attribute__((weak)) int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
