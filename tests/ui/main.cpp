#include <QApplication>

#include <gtest/gtest.h>

// One program for every widget test: a QApplication on the offscreen
// platform, then the tests.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
