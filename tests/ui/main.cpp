#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// Headless unless told otherwise, and in UTC so that backup names are known.
int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("TZ", "UTC0", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tsumugiya"));
    return RUN_ALL_TESTS();
}
